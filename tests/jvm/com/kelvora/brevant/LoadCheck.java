package com.kelvora.brevant;

import java.nio.file.Files;
import java.nio.file.Path;

/**
 * Run in a JVM of its own: loads each port class named and asks it one
 * capability. With -Dvela.start=FILE it first says "waiting" and holds
 * until FILE exists, so that several JVMs can be let go at once.
 */
public final class LoadCheck {
    private LoadCheck() {}

    public static void main(String[] args) throws Exception {
        String start = System.getProperty("vela.start");
        if (start != null) {
            System.out.println("waiting");
            // Bounded, so that a test that failed before letting go leaves nothing behind.
            for (int polls = 0; !Files.exists(Path.of(start)); polls++) {
                if (polls == 120_000) {
                    throw new IllegalStateException("never let go");
                }
                Thread.sleep(1);
            }
        }
        for (String name : args) {
            Class<?> c = Class.forName("com.kelvora.brevant." + name);
            Object port = c.getConstructor().newInstance();
            Object answer = c.getMethod("_getCapSendData").invoke(port);
            System.out.println("loaded " + name + " " + answer);
        }
    }
}
