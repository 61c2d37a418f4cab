package com.kelvora.hostile;

import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;

/**
 * Every message text the libraries raise, with the libraries that raise
 * it: LS Linux serial, LU Linux USB, LP Linux parallel, WU Windows USB,
 * WP Windows parallel, MU macOS USB. Written out here on its own, so that
 * a text changed in a library's sources shows up as a message outside its
 * set.
 */
final class Messages {
    private Messages() {}

    record Row(String text, String libraries) {}

    static final String TOO_MANY = "TOO_MANY_PORTS_ALREADY_OPENEDToo many ports already opened.";
    static final String UNSUPPORTED = "UNSUPPORTED_OPERATION        Unsupported operation.";
    static final String MEMORY = "NATIVE_FN_CALL_FAILURE       Memory allocation failure in native method.";
    static final String NAME_TOO_LONG = "CAN_NOT_OPEN_DEVICE          Port name too long.";
    static final String GONE = "DEVICE_CONNECTION_CLOSED     no device - attempt reopen";
    static final String GONE_CAPITAL = "DEVICE_CONNECTION_CLOSED     No device - attempt reopen";

    static final List<Row> ROWS = List.of(
            new Row("TOO_MANY_PORTS_ALREADY_OPENEDToo many ports already opened.",
                    "LS LU LP WU WP MU"),
            new Row("JNI_FAULT                    Unexpected JNI fault.", "LS LU LP WP MU"),
            new Row("JNI_FAULT                    Unexcepted JNI fault.", "WU"),
            new Row("PORT_NOT_OPENED              Port not opened.", "WU WP"),
            new Row("PORT_NOT_OPENED              Port not opened", "LU MU"),
            new Row("Port not opened", "LS LP"),
            new Row("UNSUPPORTED_OPERATION        Unsupported operation.",
                    "LS LU LP WU WP MU"),
            new Row("UNSUPPORTED_OPERATION        Unsupported operation - can not check online status when using xOn/xOff flow control.",
                    "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Memory allocation failure in native method.",
                    "LS LU LP WU MU"),
            new Row("PORT_SETTINGS_MALFORMED      The portSettings parameter does not have the correct form.",
                    "LS"),
            new Row("PORT_SETTINGS_MALFORMED      The specified baud rate is not supported.",
                    "LS"),
            new Row("PORT_SETTINGS_MALFORMED      The specified parity method is not supported.",
                    "LS"),
            new Row("PORT_SETTINGS_MALFORMED      The specified number of data bits is not supported.",
                    "LS"),
            new Row("PORT_SETTINGS_MALFORMED      The specified number of stop bits is not supported.",
                    "LS"),
            new Row("PORT_SETTINGS_MALFORMED      The specified flow control method is not supported.",
                    "LS"),
            new Row("Native call to tcgetattr failed.", "LS"),
            new Row("Native call to cfsetospeed failed.", "LS"),
            new Row("Native call to tcsetattr failed.", "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to open failed.", "LS LP"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to FIONREAD failed.", "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Requested read length not available before timeout.",
                    "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to read failed.", "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to write failed.", "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET failed.",
                    "LS"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to ioctl for TIOCMGET or TIOCMSET failed.",
                    "LS"),
            new Row("COMM_FAILURE                 Could not get ENQ status due to communications failure.",
                    "LS WU"),
            new Row("COMM_FAILURE                 Could not get EOT status due to communications failure.",
                    "LS"),
            new Row("CAN_NOT_OPEN_DEVICE          Can not find device on USB busses.", "LU"),
            new Row("CAN_NOT_OPEN_DEVICE          Can not open device.", "LU MU"),
            new Row("COMM_FAILURE                 Can not find alternate setting.", "LU"),
            new Row("COMM_FAILURE                 Can not find endpoints.", "LU"),
            new Row("DEVICE_CONNECTION_CLOSED     no device - attempt reopen", "LU WU MU"),
            new Row("DEVICE_CONNECTION_CLOSED     No device - attempt reopen", "MU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg for QDXUSB_REQUEST_BULKIN failed.",
                    "LU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to usb_bulk_read failed.", "LU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to usb_control_msg failed.",
                    "LU"),
            new Row("NATIVE_FN_CALL_FAILURE       Netive call to usb_control_msg failed",
                    "LU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPCLAIM failed.",
                    "LP"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPRSTATUS failed.",
                    "LP"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to ioctl for PPFCONTROL failed.",
                    "LP"),
            new Row("COMM_FAILURE                 Could not negotiate NIBBLE communications mode and can not read",
                    "LP"),
            new Row("COMM_FAILURE                 Could not negotiate compatibility communications mode and can not read",
                    "LP"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to CreateFile failed.", "WU WP"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call for reset failed.", "WP"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to IOMasterPort failed.", "MU"),
            new Row("COMM_FAILURE                 Could not configure device.", "MU"),
            new Row("COMM_FAILURE                 Could not open the device's interface.",
                    "MU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to ReadPipeTO failed.", "MU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to WritePipeTO failed.", "MU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_REQUEST_BULKIN failed.",
                    "MU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_GET_DEVICE_STATUS failed.",
                    "MU"),
            new Row("NATIVE_FN_CALL_FAILURE       Native call to DeviceRequestTO for QDXUSB_GET_RESET failed.",
                    "MU"),
            // A name that does not fit the record's name field: the
            // libraries' own choice, the same in all six.
            new Row("CAN_NOT_OPEN_DEVICE          Port name too long.", "LS LU LP WU WP MU"));

    /** The texts of the library with this column code. */
    static Set<String> of(String column) {
        Set<String> texts = new LinkedHashSet<>();
        for (Row r : ROWS) {
            if (List.of(r.libraries().split(" ")).contains(column)) texts.add(r.text());
        }
        return texts;
    }

    /** The one text of this library that begins with `prefix` and holds `part`. */
    static String find(String column, String prefix, String part) {
        String found = null;
        for (String t : of(column)) {
            if (t.startsWith(prefix) && t.contains(part)) {
                if (found != null) throw new IllegalStateException("two texts match " + prefix + part);
                found = t;
            }
        }
        if (found == null) throw new IllegalStateException("no text matches " + prefix + part);
        return found;
    }
}
