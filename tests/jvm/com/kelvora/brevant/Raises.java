package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.function.Executable;

/** Assertions on the exceptions the native libraries raise. */
final class Raises {
    private Raises() {}

    static final String UNSUPPORTED = "UNSUPPORTED_OPERATION        Unsupported operation.";
    static final String TOO_MANY = "TOO_MANY_PORTS_ALREADY_OPENEDToo many ports already opened.";
    static final String MEMORY = "NATIVE_FN_CALL_FAILURE       Memory allocation failure in native method.";
    static final String JNI_FAULT = "JNI_FAULT                    Unexpected JNI fault.";
    static final String NAME_TOO_LONG = "CAN_NOT_OPEN_DEVICE          Port name too long.";
    static final String DEVICE_GONE = "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";

    static void raises(String message, Executable call) {
        VelaBrevantException e = assertThrows(VelaBrevantException.class, call);
        assertEquals(message, e.getMessage());
    }

    static String repeat(char c, int n) {
        return String.valueOf(c).repeat(n);
    }
}
