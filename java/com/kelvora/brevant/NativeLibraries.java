package com.kelvora.brevant;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HexFormat;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * Loads a port class's native library: by its plain name first, so that
 * java.library.path and system installs keep working, and otherwise from
 * this jar, which carries the libraries under natives/PLATFORM/.
 *
 * A library from the jar is written once per content (the directory is
 * named after its digest) into a directory only its user can write: first
 * one under the temporary folder, created with owner-only permissions and
 * refused when someone else owns it; then, when the temporary folder is
 * unusable (missing, read-only, mounted noexec), one under the user's cache
 * folder. Later runs load the copy already there.
 */
final class NativeLibraries {
    private NativeLibraries() {}

    /** Where a library came from, and the places that failed before it: what the tool's check shows. */
    record Loaded(String from, List<String> skipped) {}

    private static final Map<String, Loaded> LOADED = new HashMap<>();

    /** How the library was loaded in this JVM, or null when it was not. */
    static synchronized Loaded loaded(String name) {
        return LOADED.get(name);
    }

    /** Loads the library or throws an UnsatisfiedLinkError naming everything tried. */
    static synchronized void load(String name) {
        List<String> tried = new ArrayList<>();
        try {
            System.loadLibrary(name);
            LOADED.put(name, new Loaded(onLibraryPath(name), tried));
            return;
        } catch (UnsatisfiedLinkError e) {
            tried.add("java.library.path (" + e.getMessage() + ")");
        }
        String platform = platform();
        String file = fileName(name);
        String resource = "/natives/" + platform + "/" + file;
        byte[] bytes = resource(resource);
        if (bytes == null) {
            tried.add("the jar's " + resource.substring(1) + " (not in this jar)");
            throw failure(name, platform, tried);
        }
        String digest = digest(bytes);
        for (Path base : places()) {
            Path dir = base.resolve(digest);
            try {
                Path library = extract(base, dir, file, bytes);
                System.load(library.toString());
                // The first entry is only that java.library.path lacks it.
                LOADED.put(name, new Loaded(library.toString(), List.copyOf(tried.subList(1, tried.size()))));
                return;
            } catch (IOException | UnsatisfiedLinkError | SecurityException e) {
                tried.add(dir + " (" + e + ")");
            }
        }
        throw failure(name, platform, tried);
    }

    /** The file System.loadLibrary found: the first folder of java.library.path holding it. */
    private static String onLibraryPath(String name) {
        String file = System.mapLibraryName(name);
        for (String dir : System.getProperty("java.library.path", "").split(File.pathSeparator)) {
            if (!dir.isEmpty() && Files.isRegularFile(Paths.get(dir, file))) {
                return Paths.get(dir, file) + " (java.library.path)";
            }
        }
        return "java.library.path";
    }

    private static UnsatisfiedLinkError failure(String name, String platform, List<String> tried) {
        return new UnsatisfiedLinkError("Cannot load the native library " + name + " for " + platform
                + "; tried: " + String.join("; ", tried));
    }

    /** The natives/ folder of this machine: OS and processor as the build names them. */
    static String platform() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        if (os.startsWith("mac")) {
            return "macos";  // one universal library for every Mac
        }
        String arch = switch (System.getProperty("os.arch", "").toLowerCase(Locale.ROOT)) {
            case "amd64", "x86_64" -> "x86_64";
            case "x86", "i386", "i486", "i586", "i686" -> "x86";
            case "aarch64", "arm64" -> "aarch64";
            case "arm", "armv7l", "armhf" -> "armhf";
            default -> System.getProperty("os.arch");
        };
        return (os.startsWith("windows") ? "windows" : os.replace(' ', '_')) + "-" + arch;
    }

    private static String fileName(String name) {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        if (os.startsWith("windows")) {
            return name + ".dll";
        }
        return "lib" + name + (os.startsWith("mac") ? ".jnilib" : ".so");
    }

    private static byte[] resource(String path) {
        try (InputStream in = NativeLibraries.class.getResourceAsStream(path)) {
            return in == null ? null : in.readAllBytes();
        } catch (IOException e) {
            return null;
        }
    }

    private static String digest(byte[] bytes) {
        try {
            return HexFormat.of().formatHex(MessageDigest.getInstance("SHA-256").digest(bytes), 0, 12);
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException(e);
        }
    }

    /** Where extracted libraries may live, in the order they are tried. */
    static List<Path> places() {
        List<Path> places = new ArrayList<>();
        String user = System.getProperty("user.name", "user").replaceAll("[^A-Za-z0-9._-]", "_");
        String tmp = System.getProperty("java.io.tmpdir");
        if (tmp != null && !tmp.isEmpty()) {
            places.add(Paths.get(tmp, "vela-brevant-" + user));
        }
        String home = System.getProperty("user.home");
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        String cache = System.getenv(os.startsWith("windows") ? "LOCALAPPDATA" : "XDG_CACHE_HOME");
        if (cache != null && !cache.isEmpty() && Paths.get(cache).isAbsolute()) {
            places.add(Paths.get(cache, "vela-brevant", "natives"));
        } else if (home != null && !home.isEmpty()) {
            places.add(os.startsWith("mac") ? Paths.get(home, "Library", "Caches", "vela-brevant", "natives")
                    : Paths.get(home, ".cache", "vela-brevant", "natives"));
        }
        return places;
    }

    /** The library's file in dir, written there unless an identical copy is there already. */
    private static Path extract(Path base, Path dir, String file, byte[] bytes) throws IOException {
        privateDirectory(base);
        privateDirectory(dir);
        Path library = dir.resolve(file);
        if (Files.isRegularFile(library, LinkOption.NOFOLLOW_LINKS)
                && Arrays.equals(Files.readAllBytes(library), bytes)) {
            return library;
        }
        // Written aside and moved into place, so that a JVM starting at the
        // same moment never loads half a file.
        Path partial = Files.createTempFile(dir, file, ".part");
        try {
            Files.write(partial, bytes);
            Files.move(partial, library, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
        } finally {
            Files.deleteIfExists(partial);
        }
        return library;
    }

    /**
     * Makes sure dir is a directory of this user's that no one else can
     * write: created with owner-only permissions, or, when it was there
     * already, owned by this user and not a link.
     */
    private static void privateDirectory(Path dir) throws IOException {
        if (!FileSystems.getDefault().supportedFileAttributeViews().contains("posix")) {
            Files.createDirectories(dir);  // Windows: the user's own folders
            return;
        }
        try {
            Files.createDirectories(dir.getParent());
            Files.createDirectory(dir, PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
        } catch (FileAlreadyExistsException e) {
            // checked below
        }
        PosixFileAttributes attributes = Files.readAttributes(dir, PosixFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
        String me = System.getProperty("user.name");
        if (!attributes.isDirectory() || !attributes.owner().getName().equals(me)
                || !attributes.permissions().equals(PosixFilePermissions.fromString("rwx------"))) {
            throw new AccessDeniedException(dir.toString(), null,
                    "not a directory of " + me + " with owner-only permissions");
        }
    }
}
