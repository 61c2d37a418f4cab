package com.kelvora.brevant;

/** Run in a JVM of its own: loads each port class named and asks it one capability. */
public final class LoadCheck {
    private LoadCheck() {}

    public static void main(String[] args) throws Exception {
        for (String name : args) {
            Class<?> c = Class.forName("com.kelvora.brevant." + name);
            Object port = c.getConstructor().newInstance();
            Object answer = c.getMethod("_getCapSendData").invoke(port);
            System.out.println("loaded " + name + " " + answer);
        }
    }
}
