package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The jar alone: each library loaded from it in a fresh JVM, with no library path. */
class NativeLoadingTest {
    static final String[] CLASSES = {"VelaCommPortLinuxSerial", "VelaCommPortLinuxParallel", "VelaCommPortLinuxUSB"};
    static final String USER = System.getProperty("user.name");

    @TempDir
    Path work;

    record Run(int exit, String output) {}

    /** A fresh JVM on the given jar with these temporary and home folders, optionally in a noexec tmpfs. */
    Run run(String jar, Path tmp, Path home, boolean noexecTmp) throws Exception {
        return run(jar, tmp, home, noexecTmp, List.of(), CLASSES);
    }

    /** The same, with extra JVM options, loading the given port classes. */
    Run run(String jar, Path tmp, Path home, boolean noexecTmp, List<String> options, String... classes)
            throws Exception {
        List<String> java = new ArrayList<>(List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Djava.library.path=", "-Djava.io.tmpdir=" + tmp, "-Duser.home=" + home));
        java.addAll(options);
        java.addAll(List.of("-cp", jar + ":" + System.getProperty("vela.tests.jar"), "com.kelvora.brevant.LoadCheck"));
        java.addAll(List.of(classes));
        List<String> command = new ArrayList<>();
        if (noexecTmp) {
            // A mount namespace of its own, where the temporary folder is a noexec tmpfs.
            command.addAll(List.of("unshare", "-rm", "sh", "-c",
                    "mount -t tmpfs -o noexec none \"$0\" && exec \"$@\"", tmp.toString()));
        }
        command.addAll(java);
        ProcessBuilder pb = new ProcessBuilder(command).redirectErrorStream(true);
        pb.environment().remove("XDG_CACHE_HOME");
        Process p = pb.start();
        String output = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertTrue(p.waitFor(120, TimeUnit.SECONDS));
        return new Run(p.exitValue(), output);
    }

    static List<Path> libraries(Path dir) throws IOException {
        try (Stream<Path> files = Files.walk(dir)) {
            return files.filter(f -> f.toString().endsWith(".so")).sorted().toList();
        }
    }

    static void loadedAll(Run run) {
        assertEquals(0, run.exit(), run.output());
        for (String c : CLASSES) {
            assertTrue(run.output().contains("loaded " + c + " true"), run.output());
        }
    }

    @Test
    void everyLinuxLibraryLoadsFromTheJarIntoAPrivateFolderOnceAndForAll() throws Exception {
        Path tmp = Files.createDirectories(work.resolve("tmp"));
        Path home = Files.createDirectories(work.resolve("home"));
        String jar = System.getProperty("vela.natives.jar");
        loadedAll(run(jar, tmp, home, false));
        Path mine = tmp.resolve("vela-brevant-" + USER);
        List<Path> copies = libraries(mine);
        assertEquals(3, copies.size(), copies.toString());
        assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(mine)));
        assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(copies.get(0).getParent())));
        List<Object> keys = new ArrayList<>();
        for (Path c : copies) {
            keys.add(Files.readAttributes(c, "unix:ino").get("ino"));
        }
        // A later run loads the same copies.
        loadedAll(run(jar, tmp, home, false));
        assertEquals(copies, libraries(mine));
        for (int i = 0; i < copies.size(); i++) {
            assertEquals(keys.get(i), Files.readAttributes(copies.get(i), "unix:ino").get("ino"));
        }
        assertEquals(List.of(), libraries(home));
    }

    @Test
    void anUnusableTemporaryFolderFallsBackToTheUsersCache() throws Exception {
        String jar = System.getProperty("vela.natives.jar");
        Path file = Files.writeString(work.resolve("a-file"), "not a folder");
        Path shared = Files.createDirectories(work.resolve("shared"));
        // Someone made our folder's name writable by all: it is not used.
        Path planted = Files.createDirectories(shared.resolve("vela-brevant-" + USER));
        Files.setPosixFilePermissions(planted, PosixFilePermissions.fromString("rwxrwxrwx"));
        Path noexec = Files.createDirectories(work.resolve("noexec"));
        List<Object[]> cases = new ArrayList<>(List.of(new Object[] {file.resolve("tmp"), false},
                new Object[] {shared, false}));
        // A noexec mount needs a mount namespace of our own (unprivileged
        // user namespaces, or root).
        if (new ProcessBuilder("unshare", "-rm", "true").start().waitFor() == 0) {
            cases.add(new Object[] {noexec, true});
        } else {
            System.out.println("no user namespaces here: the noexec case is left out");
        }
        for (int i = 0; i < cases.size(); i++) {
            Path home = Files.createDirectories(work.resolve("home" + i));
            Run run = run(jar, (Path) cases.get(i)[0], home, (Boolean) cases.get(i)[1]);
            loadedAll(run);
            assertEquals(3, libraries(home.resolve(".cache/vela-brevant/natives")).size(), run.output());
        }
        assertEquals(List.of(), libraries(planted));
    }

    /**
     * The JVM told it runs on a Mac picks the one universal library, writes
     * it to the private temporary folder and, when that does not load it
     * (here: no Mac to load it), to ~/Library/Caches; both copies are the
     * jar's bytes, a Mach-O universal file, and the error names both places.
     */
    @Test
    void onAMacTheUniversalLibraryComesFromTheJarIntoTheTemporaryThenTheCachesFolder() throws Exception {
        assumeFalse(System.getProperty("vela.macos.library", "").isEmpty(),
                "this build made no macOS library (clang, lld or llvm missing)");
        String jar = System.getProperty("vela.natives.jar");
        byte[] packed;
        String index;
        try (ZipFile zip = new ZipFile(jar)) {
            ZipEntry entry = zip.getEntry("natives/macos/libVelaCommPortMacUSB.jnilib");
            assertNotNull(entry, "the jar carries no macOS library");
            packed = zip.getInputStream(entry).readAllBytes();
            index = new String(zip.getInputStream(zip.getEntry("natives/index.txt")).readAllBytes(), StandardCharsets.UTF_8);
        }
        assertTrue(index.lines().anyMatch("macos/libVelaCommPortMacUSB.jnilib"::equals), index);
        assertEquals(0xCAFEBABE, ByteBuffer.wrap(packed).getInt(), "not a universal Mach-O");
        Path tmp = Files.createDirectories(work.resolve("tmp"));
        Path home = Files.createDirectories(work.resolve("home"));
        Run run = run(jar, tmp, home, false, List.of("-Dos.name=Mac OS X"), "VelaCommPortMacUSB");
        assertEquals(1, run.exit(), run.output());
        Path first = tmp.resolve("vela-brevant-" + USER);
        Path caches = home.resolve("Library/Caches/vela-brevant/natives");
        assertTrue(run.output().contains("Cannot load the native library VelaCommPortMacUSB for macos; tried: java.library.path ("),
                run.output());
        for (Path place : List.of(first, caches)) {
            List<Path> copies;
            try (Stream<Path> files = Files.walk(place)) {
                copies = files.filter(f -> f.getFileName().toString().equals("libVelaCommPortMacUSB.jnilib")).toList();
            }
            assertEquals(1, copies.size(), place + ": " + copies);
            assertArrayEquals(packed, Files.readAllBytes(copies.get(0)));
            assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(copies.get(0).getParent())));
            assertTrue(run.output().contains(copies.get(0).getParent().toString()), run.output());
        }
        assertFalse(Files.exists(home.resolve(".cache")), "a Mac's cache folder is ~/Library/Caches");
    }

    @Test
    void aJarWithoutThisMachinesLibrarySaysWhatWasTried() throws Exception {
        Path tmp = Files.createDirectories(work.resolve("tmp"));
        Run run = run(System.getProperty("vela.brevant.jar"), tmp, work, false);
        assertEquals(1, run.exit());
        String arch = System.getProperty("os.arch");
        String platform = "linux-" + switch (arch) {
            case "amd64" -> "x86_64";
            case "i386" -> "x86";
            default -> arch;
        };
        assertTrue(run.output().contains("Cannot load the native library VelaCommPortLinuxSerial for " + platform
                + "; tried: java.library.path ("), run.output());
        assertTrue(run.output().contains("the jar's natives/" + platform + "/libVelaCommPortLinuxSerial.so (not in this jar)"),
                run.output());
    }
}
