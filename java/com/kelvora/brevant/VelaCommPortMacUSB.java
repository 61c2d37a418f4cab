package com.kelvora.brevant;

/** Receipt printer on USB under macOS, through IOKit; one port at a time. */
public class VelaCommPortMacUSB {
    static {
        NativeLibraries.load("VelaCommPortMacUSB");
    }

    /** The key under which the native library finds this object's open port. */
    protected String portName;

    public VelaCommPortMacUSB() {}

    public VelaCommPortMacUSB(String portName) {
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
    public native int _receiveData(byte[] buffer, int length, long timeout) throws VelaBrevantException;
    public native int _sendData(byte[] data, int length, long timeout) throws VelaBrevantException;
    public native int _sendDataOffline(byte[] data, int length, long timeout) throws VelaBrevantException;
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
