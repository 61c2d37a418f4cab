package com.kelvora.brevant;

/**
 * The one exception the native port libraries raise. Its message opens with
 * an error code in a 29-column field, followed by the text.
 */
public class VelaBrevantException extends Exception {
    private static final long serialVersionUID = 1L;

    public VelaBrevantException(String message) {
        super(message);
    }
}
