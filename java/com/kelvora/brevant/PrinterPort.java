package com.kelvora.brevant;

import java.util.List;

/**
 * One printer port this machine offers, as {@link PrinterPorts#list()} finds it.
 *
 * @param name the name to pass to {@code _openPort}
 * @param otherNames further names that reach the same port (the other
 *     {@code usb:} form, {@code /dev/serial/by-id/} links)
 * @param kind the transport, which decides the port class
 * @param device the device node, such as {@code /dev/bus/usb/001/004}
 * @param description what the port is, in one line
 */
public record PrinterPort(String name, List<String> otherNames, Kind kind, String device, String description) {
    /** The transport of a port. */
    public enum Kind {
        USB, SERIAL, PARALLEL
    }

    public PrinterPort {
        otherNames = List.copyOf(otherNames);
    }
}
