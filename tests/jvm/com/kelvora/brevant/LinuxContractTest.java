package com.kelvora.brevant;

import static com.kelvora.brevant.Raises.JNI_FAULT;
import static com.kelvora.brevant.Raises.UNSUPPORTED;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * What every Linux library answers before it touches a device: constant
 * capabilities, unsupported operations refused before any lookup, and the
 * library's own texts for a port that is not open or has no name.
 */
class LinuxContractTest {
    static final List<String> CAPABILITIES = List.of("ReceiveData", "SendData", "SendDataOffline",
            "ENQStatus", "EOTStatus", "OnlineStatus", "PowerStatus", "HdwrResetDevice");

    /** A port-bound operation with arguments that would otherwise be valid. */
    private static final Object[][] OPERATIONS = {
        {"_closePort", new Class<?>[] {}, new Object[] {}},
        {"_receiveData", new Class<?>[] {byte[].class, int.class, long.class}, new Object[] {new byte[4], 4, 10L}},
        {"_sendData", new Class<?>[] {byte[].class, int.class, long.class}, new Object[] {new byte[4], 4, 10L}},
        {"_sendDataOffline", new Class<?>[] {byte[].class, int.class, long.class}, new Object[] {new byte[4], 4, 10L}},
        {"_getENQStatus", new Class<?>[] {long.class}, new Object[] {10L}},
        {"_getEOTStatus", new Class<?>[] {long.class}, new Object[] {10L}},
        {"_getOnlineStatus", new Class<?>[] {long.class}, new Object[] {10L}},
        {"_getPowerStatus", new Class<?>[] {long.class}, new Object[] {10L}},
        {"_hdwrResetDevice", new Class<?>[] {}, new Object[] {}},
    };

    private static Object invoke(Object port, String name, Class<?>[] types, Object... args) throws Throwable {
        Method m = port.getClass().getMethod(name, types);
        try {
            return m.invoke(port, args);
        } catch (InvocationTargetException e) {
            throw e.getCause();
        }
    }

    /**
     * capabilities: T or F per entry of CAPABILITIES; an operation whose
     * capability is F must be refused as unsupported, open port or not.
     */
    private static <P> void check(Ports<P> ports, String capabilities) throws Throwable {
        try (ports) {
            for (String name : new String[] {"never-opened", null}) {
                P port = ports.object(name);
                for (int i = 0; i < CAPABILITIES.size(); i++) {
                    Object answer = invoke(port, "_getCap" + CAPABILITIES.get(i), new Class<?>[] {});
                    assertEquals(capabilities.charAt(i) == 'T', answer, CAPABILITIES.get(i));
                }
                for (Object[] op : OPERATIONS) {
                    String method = (String) op[0];
                    String bare = method.replaceFirst("^_(get)?", "");
                    int cap = CAPABILITIES.indexOf(Character.toUpperCase(bare.charAt(0)) + bare.substring(1));
                    String expected = cap >= 0 && capabilities.charAt(cap) == 'F' ? UNSUPPORTED
                            : name == null ? JNI_FAULT : ports.portNotOpened;
                    VelaBrevantException e = assertThrows(VelaBrevantException.class,
                            () -> invoke(port, method, (Class<?>[]) op[1], (Object[]) op[2]), method);
                    assertEquals(expected, e.getMessage(), method + " on " + name);
                }
            }
        }
    }

    @Test
    void serial() throws Throwable {
        check(Ports.serial(), "TTTTTTFT");
    }

    @Test
    void parallel() throws Throwable {
        check(Ports.parallel(), "TTFTFTFT");
    }

    @Test
    void usb() throws Throwable {
        check(Ports.usb(), "TTFTFTFT");
    }
}
