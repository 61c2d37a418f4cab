package com.kelvora.brevant;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryFlag;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;
import java.nio.file.attribute.UserPrincipalLookupService;
import java.util.ArrayList;
import java.util.EnumSet;
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

    /** The class path's test classes (LoadCheck). */
    String testsJar = System.getProperty("vela.tests.jar");

    record Run(int exit, String output) {}

    /** A fresh JVM on the given jar with these temporary and home folders, optionally in a noexec tmpfs. */
    Run run(String jar, Path tmp, Path home, boolean noexecTmp) throws Exception {
        return run(jar, tmp, home, noexecTmp, List.of(), CLASSES);
    }

    /** The same, with extra JVM options, loading the given port classes. */
    Run run(String jar, Path tmp, Path home, boolean noexecTmp, List<String> options, String... classes)
            throws Exception {
        List<String> prefix = List.of();
        if (noexecTmp) {
            // A mount namespace of its own, where the temporary folder is a noexec tmpfs.
            prefix = List.of("unshare", "-rm", "sh", "-c", "mount -t tmpfs -o noexec none \"$0\" && exec \"$@\"",
                    tmp.toString());
        }
        List<String> all = new ArrayList<>(List.of("-Duser.home=" + home));
        all.addAll(options);
        return finish(start(prefix, jar, tmp, all, classes));
    }

    /** A JVM on the jar behind the given command prefix, in the test's folder, with no cache folder set. */
    Process start(List<String> prefix, String jar, Path tmp, List<String> options, String... classes) throws Exception {
        List<String> command = new ArrayList<>(prefix);
        command.addAll(List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Djava.library.path=", "-Djava.io.tmpdir=" + tmp));
        command.addAll(options);
        command.addAll(List.of("-cp", jar + ":" + testsJar, "com.kelvora.brevant.LoadCheck"));
        command.addAll(List.of(classes));
        ProcessBuilder pb = new ProcessBuilder(command).redirectErrorStream(true).directory(work.toFile());
        pb.environment().remove("XDG_CACHE_HOME");
        // No emulated devices: the preload exists for the host's processor only.
        pb.environment().remove("LD_PRELOAD");
        pb.environment().put("HOME", work.resolve("home").toString());
        pb.environment().put("LOCALAPPDATA", work.resolve("appdata").toString());
        return pb.start();
    }

    static Run finish(Process p) throws Exception {
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

    /**
     * Several JVMs let go together against an empty temporary folder all
     * load every library. Where we are root they run as a user with no
     * passwd entry, whose JVM knows its user and home only as "?": its
     * folder is named after its id and is its own, and with the temporary
     * folder unusable its copies go to $HOME/.cache, never to a folder
     * made relative to the working one.
     */
    @Test
    void jvmsStartedTogetherAllLoadEvenAsAUserWithoutAPasswdEntry() throws Exception {
        String jar = System.getProperty("vela.natives.jar");
        boolean root = Integer.valueOf(0).equals(Files.getAttribute(work, "unix:uid"));
        int id = root ? 47011 : (Integer) Files.getAttribute(work, "unix:uid");
        List<String> prefix = root ? List.of("setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups") : List.of();
        if (!root) {
            System.out.println("not root: the JVMs run as this user, not as one without a passwd entry");
        } else {
            // The checkout may sit in a private home: that user runs copies of the jars.
            Path jars = Files.createDirectories(work.resolve("jars"));
            jar = Files.copy(Path.of(jar), jars.resolve("natives.jar")).toString();
            testsJar = Files.copy(Path.of(testsJar), jars.resolve("tests.jar")).toString();
            for (String mine : List.of(jars.toString(), jar, testsJar)) {
                Files.setAttribute(Path.of(mine), "unix:uid", id);
            }
        }
        Path home = Files.createDirectories(work.resolve("home"));
        Path gate = work.resolve("go");
        for (int round = 0; round < 2; round++) {
            Path tmp = Files.createDirectories(work.resolve("tmp" + round));
            for (Path mine : List.of(work, home, tmp)) {
                Files.setAttribute(mine, "unix:uid", id);
            }
            List<Process> jvms = new ArrayList<>();
            for (int i = 0; i < 4; i++) {
                Process p = start(prefix, jar, tmp, List.of("-Dvela.start=" + gate), CLASSES);
                jvms.add(p);
                StringBuilder line = new StringBuilder();
                for (int c; (c = p.getInputStream().read()) >= 0 && c != '\n';) {
                    line.append((char) c);
                }
                assertEquals("waiting", line.toString());
            }
            Files.createFile(gate);
            for (Process p : jvms) {
                loadedAll(finish(p));
            }
            Files.delete(gate);
            Path mine = tmp.resolve("vela-brevant-" + (root ? String.valueOf(id) : USER));
            assertEquals(3, libraries(mine).size(), libraries(tmp).toString());
            assertEquals(id, Files.getAttribute(mine, "unix:uid"));
        }
        if (root) {
            Path file = Files.writeString(work.resolve("a-file"), "not a folder");
            Run run = finish(start(prefix, jar, file.resolve("tmp"), List.of(), CLASSES));
            loadedAll(run);
            assertEquals(3, libraries(home.resolve(".cache/vela-brevant/natives")).size(), run.output());
        }
        try (Stream<Path> files = Files.list(work)) {
            assertEquals(List.of(), files.filter(f -> f.getFileName().toString().contains("?")).toList());
        }
    }

    /**
     * A JVM told it runs on Windows writes the DLL for its processor to the
     * user's local application data and, when that copy does not load (no
     * Windows here to load it), never to the shared temporary folder, whose
     * owner and access list cannot be checked here. The access list check
     * itself refuses any entry that lets another user write.
     */
    @Test
    void onWindowsTheDllGoesOnlyWhereNoOtherUserCanWrite() throws Exception {
        String jar = System.getProperty("vela.natives.jar");
        String platform = "windows-" + ("amd64".equals(System.getProperty("os.arch")) ? "x86_64" : System.getProperty("os.arch"));
        byte[] packed;
        try (ZipFile zip = new ZipFile(jar)) {
            ZipEntry entry = zip.getEntry("natives/" + platform + "/VelaCommPortWindowsUSB.dll");
            assumeFalse(entry == null, "this build made no DLL for " + platform);
            packed = zip.getInputStream(entry).readAllBytes();
        }
        Path tmp = Files.createDirectories(work.resolve("tmp"));
        Run run = finish(start(List.of(), jar, tmp, List.of("-Dos.name=Windows 10"), "VelaCommPortWindowsUSB"));
        assertEquals(1, run.exit(), run.output());
        assertTrue(run.output().contains("Cannot load the native library VelaCommPortWindowsUSB for " + platform), run.output());
        List<Path> copies;
        try (Stream<Path> files = Files.walk(work.resolve("appdata/vela-brevant/natives"))) {
            copies = files.filter(f -> f.toString().endsWith(".dll")).toList();
        }
        assertEquals(1, copies.size(), copies.toString());
        assertArrayEquals(packed, Files.readAllBytes(copies.get(0)));
        try (Stream<Path> files = Files.list(tmp)) {
            assertEquals(List.of(), files.toList());
        }
        UserPrincipalLookupService users = work.getFileSystem().getUserPrincipalLookupService();
        UserPrincipal me = users.lookupPrincipalByName("47011");
        UserPrincipal other = users.lookupPrincipalByName("47012");
        AclEntry mine = AclEntry.newBuilder().setType(AclEntryType.ALLOW).setPrincipal(me)
                .setPermissions(EnumSet.allOf(AclEntryPermission.class)).build();
        AclEntry reads = AclEntry.newBuilder(mine).setPrincipal(other).setPermissions(AclEntryPermission.READ_DATA,
                AclEntryPermission.EXECUTE, AclEntryPermission.READ_ATTRIBUTES, AclEntryPermission.SYNCHRONIZE).build();
        AclEntry denied = AclEntry.newBuilder(mine).setType(AclEntryType.DENY).setPrincipal(other).build();
        assertTrue(NativeLibraries.onlyWritableBy(me, List.of(mine, reads, denied)));
        for (AclEntryPermission write : EnumSet.complementOf(EnumSet.copyOf(reads.permissions()))) {
            if (write != AclEntryPermission.READ_NAMED_ATTRS && write != AclEntryPermission.READ_ACL) {
                AclEntry lets = AclEntry.newBuilder(reads).setPermissions(write).setFlags(AclEntryFlag.INHERIT_ONLY).build();
                assertFalse(NativeLibraries.onlyWritableBy(me, List.of(mine, lets)), write.toString());
            }
        }
        // Java finds a folder's file system through the mount above it.
        boolean mounted = true;
        try {
            Files.getFileStore(tmp);
        } catch (IOException e) {
            mounted = false;
        }
        assumeTrue(mounted, "no mount point above " + tmp + " (a chroot whose root is not a mount point): "
                + "the refusal for want of an access list is not reached");
        assertTrue(run.output().contains("no access list"), run.output());
    }
}
