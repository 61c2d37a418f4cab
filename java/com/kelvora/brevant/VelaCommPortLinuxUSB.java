package com.kelvora.brevant;

/** Receipt printer on USB under Linux, through libusb 0.1. */
public class VelaCommPortLinuxUSB {
    static {
        NativeLibraries.load("VelaCommPortLinuxUSB");
    }

    /** The key under which the native library finds this object's open port. */
    protected String portName;

    public VelaCommPortLinuxUSB() {}

    public VelaCommPortLinuxUSB(String portName) {
        this.portName = portName;
    }

    public String getPortName() {
        return portName;
    }

    public void setPortName(String portName) {
        this.portName = portName;
    }

    public native void _openPort(String portName, String portSettings) throws VelaBrevantException;
    public native void _closePort() throws VelaBrevantException;
    /**
     * Reads what the printer holds, at most {@code length} bytes, into
     * {@code buffer} from index 0.
     *
     * @param timeout milliseconds; only the low 32 bits are used, and libusb
     *     reads a timeout of 0 as "no timeout": the call then waits until the
     *     printer answers, however long that takes
     */
    public native int _receiveData(byte[] buffer, int length, long timeout) throws VelaBrevantException;

    /**
     * Sends the first {@code length} bytes of {@code data} in chunks of
     * 4096 bytes; returns the bytes of the whole chunks the printer took.
     *
     * @param timeout milliseconds per chunk; only the low 32 bits are used,
     *     and libusb reads a timeout of 0 as "no timeout": unlike the serial
     *     and parallel ports, where 0 returns at once, a printer that takes
     *     no data then blocks the calling thread for good. Pass a positive
     *     timeout.
     */
    public native int _sendData(byte[] data, int length, long timeout) throws VelaBrevantException;
    public native int _sendDataOffline(byte[] data, int length, long timeout) throws VelaBrevantException;
    /** @param timeout milliseconds, as for {@link #_receiveData}: 0 waits without limit */
    public native byte _getENQStatus(long timeout) throws VelaBrevantException;
    public native byte _getEOTStatus(long timeout) throws VelaBrevantException;
    public native boolean _getOnlineStatus(long timeout) throws VelaBrevantException;
    public native boolean _getPowerStatus(long timeout) throws VelaBrevantException;
    public native void _hdwrResetDevice() throws VelaBrevantException;

    public native boolean _getCapReceiveData();
    public native boolean _getCapSendData();
    public native boolean _getCapSendDataOffline();
    public native boolean _getCapENQStatus();
    public native boolean _getCapEOTStatus();
    public native boolean _getCapOnlineStatus();
    public native boolean _getCapPowerStatus();
    public native boolean _getCapHdwrResetDevice();
}
