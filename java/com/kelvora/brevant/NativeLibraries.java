package com.kelvora.brevant;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryFlag;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.AclFileAttributeView;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.EnumSet;
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
 * named after its digest) into a directory no other user can write, and
 * loaded only after its bytes were checked against the jar's, after the
 * last write. On Linux and macOS: first one under the temporary folder,
 * created with owner-only permissions and refused when someone else owns
 * it; then, when the temporary folder is unusable (missing, read-only,
 * mounted noexec), one under the user's cache folder. On Windows: first
 * the user's own local application data; then one under the temporary
 * folder (for a service, C:\Windows\Temp, where any user may create
 * folders), created with an access list for this user alone and refused
 * unless its owner and access list say no one else can write. Later runs
 * load the copy already there.
 *
 * "This user" is whoever owns a file the process creates: a user with no
 * passwd entry (a container run under a bare id) has no usable name.
 */
final class NativeLibraries {
    private NativeLibraries() {}

    /** A place for extracted libraries: its folder and whether it must be proved private first. */
    record Place(Path base, boolean checked) {}

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
        for (Place place : places()) {
            Path dir = place.base().resolve(digest);
            try {
                Path library = extract(place, dir, file, bytes);
                System.load(library.toString());
                // The first entry is only that java.library.path lacks it.
                LOADED.put(name, new Loaded(library.toString(), List.copyOf(tried.subList(1, tried.size()))));
                return;
            } catch (IOException | UnsatisfiedLinkError | SecurityException | UnsupportedOperationException e) {
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

    private static boolean windows() {
        return System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("windows");
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
        return (windows() ? "windows" : os.replace(' ', '_')) + "-" + arch;
    }

    private static String fileName(String name) {
        if (windows()) {
            return name + ".dll";
        }
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
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

    /** An absolute folder from a property or variable, or null: a relative one would land in the working folder. */
    private static Path absolute(String path) {
        if (path == null || path.isEmpty()) {
            return null;
        }
        try {
            Path p = Paths.get(path);
            return p.isAbsolute() ? p : null;
        } catch (RuntimeException e) {
            return null;
        }
    }

    /** Where extracted libraries may live, in the order they are tried. */
    static List<Place> places() {
        List<Place> places = new ArrayList<>();
        Path tmp = absolute(System.getProperty("java.io.tmpdir"));
        // The JVM says "?" for a user or home it cannot find in the passwd file.
        Path home = absolute(System.getProperty("user.home"));
        if (home == null) {
            home = absolute(System.getenv("HOME"));
        }
        Place temporary = tmp == null ? null : new Place(tmp.resolve("vela-brevant-" + userName(tmp)), true);
        if (windows()) {
            // The user's own folders first: for a service the temporary
            // folder is C:\Windows\Temp, shared with every user.
            Path local = absolute(System.getenv("LOCALAPPDATA"));
            if (local == null && home != null) {
                local = home.resolve("AppData").resolve("Local");
            }
            if (local != null) {
                places.add(new Place(local.resolve("vela-brevant").resolve("natives"), false));
            }
            if (temporary != null) {
                places.add(temporary);
            }
            return places;
        }
        if (temporary != null) {
            places.add(temporary);
        }
        Path cache = absolute(System.getenv("XDG_CACHE_HOME"));
        if (cache != null) {
            places.add(new Place(cache.resolve("vela-brevant").resolve("natives"), true));
        } else if (home != null) {
            String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
            places.add(new Place(os.startsWith("mac") ? home.resolve("Library/Caches/vela-brevant/natives")
                    : home.resolve(".cache/vela-brevant/natives"), true));
        }
        return places;
    }

    /**
     * The user's name as a folder name; without a passwd entry, the id that
     * owns what this process creates, so that two such users do not meet in
     * one folder.
     */
    private static String userName(Path tmp) {
        String user = System.getProperty("user.name", "");
        if (user.isEmpty() || user.equals("?")) {
            try {
                user = owner(tmp).getName();
            } catch (IOException | RuntimeException e) {
                user = "unknown";
            }
        }
        return user.replaceAll("[^A-Za-z0-9._-]", "_");
    }

    /** The owner of a file this process creates in dir: who "this user" is, whatever its name. */
    private static UserPrincipal owner(Path dir) throws IOException {
        Path probe;
        try {
            probe = Files.createTempFile(dir, "vela-brevant-", ".owner");
        } catch (IOException e) {
            // A read-only place may still hold a copy made before: there the
            // user's name is all we have.
            return dir.getFileSystem().getUserPrincipalLookupService()
                    .lookupPrincipalByName(System.getProperty("user.name", ""));
        }
        try {
            return Files.getOwner(probe, LinkOption.NOFOLLOW_LINKS);
        } finally {
            Files.deleteIfExists(probe);
        }
    }

    /** The library's file in dir, written there unless an identical copy is there already, checked just before it is loaded. */
    private static Path extract(Place place, Path dir, String file, byte[] bytes) throws IOException {
        if (place.checked()) {
            privateDirectory(place.base());
            privateDirectory(dir);
        } else {
            Files.createDirectories(dir);
        }
        Path library = dir.resolve(file);
        if (holds(library, bytes)) {
            return library;
        }
        // Written aside and moved into place, so that a JVM starting at the
        // same moment never loads half a file.
        Path partial = Files.createTempFile(dir, file, ".part");
        try {
            Files.write(partial, bytes);
            Files.move(partial, library, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
        } catch (IOException e) {
            // Another JVM may have got there first: Windows will not replace
            // a DLL that a process has loaded. Its copy serves if it is ours.
            if (!holds(library, bytes)) {
                throw e;
            }
        } finally {
            Files.deleteIfExists(partial);
        }
        // Read back after the last write, in a folder no one else can write:
        // what is loaded is what the jar carries.
        if (!holds(library, bytes)) {
            throw new IOException(library + " does not hold the jar's library");
        }
        return library;
    }

    private static boolean holds(Path library, byte[] bytes) throws IOException {
        return Files.isRegularFile(library, LinkOption.NOFOLLOW_LINKS) && Arrays.equals(Files.readAllBytes(library), bytes);
    }

    /**
     * Makes sure dir is a directory no other user can write: created private
     * (owner-only permissions; on Windows, an access list for this user
     * alone), or, when it was there already, owned by this user, not a link,
     * and still private.
     */
    private static void privateDirectory(Path dir) throws IOException {
        Files.createDirectories(dir.getParent());
        if (windows()) {
            privateWindowsDirectory(dir);
            return;
        }
        UserPrincipal me = owner(dir.getParent());
        try {
            Files.createDirectory(dir, PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
        } catch (FileAlreadyExistsException e) {
            // checked below
        }
        PosixFileAttributes attributes = Files.readAttributes(dir, PosixFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
        if (!attributes.isDirectory() || !attributes.owner().equals(me)
                || !attributes.permissions().equals(PosixFilePermissions.fromString("rwx------"))) {
            throw new AccessDeniedException(dir.toString(), null,
                    "not a directory of " + me.getName() + " with owner-only permissions");
        }
    }

    private static void privateWindowsDirectory(Path dir) throws IOException {
        if (!Files.getFileStore(dir.getParent()).supportsFileAttributeView(AclFileAttributeView.class)) {
            throw new AccessDeniedException(dir.toString(), null, "no access list to check on this file system");
        }
        UserPrincipal me = owner(dir.getParent());
        List<AclEntry> mine = List.of(AclEntry.newBuilder().setType(AclEntryType.ALLOW).setPrincipal(me)
                .setPermissions(EnumSet.allOf(AclEntryPermission.class))
                .setFlags(AclEntryFlag.FILE_INHERIT, AclEntryFlag.DIRECTORY_INHERIT).build());
        AclFileAttributeView view = Files.getFileAttributeView(dir, AclFileAttributeView.class, LinkOption.NOFOLLOW_LINKS);
        try {
            Files.createDirectory(dir, new FileAttribute<List<AclEntry>>() {
                @Override
                public String name() {
                    return "acl:acl";
                }

                @Override
                public List<AclEntry> value() {
                    return mine;
                }
            });
            // Creation may add the parent's inheritable entries; nothing is in
            // the new folder yet, so set the list to ours alone.
            view.setAcl(mine);
        } catch (FileAlreadyExistsException e) {
            // checked below
        }
        BasicFileAttributes attributes = Files.readAttributes(dir, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
        // A junction is a directory that is also "other": never ours to trust.
        if (!attributes.isDirectory() || attributes.isOther() || !view.getOwner().equals(me)
                || !onlyWritableBy(me, view.getAcl())) {
            throw new AccessDeniedException(dir.toString(), null,
                    "not a directory of " + me.getName() + " that only it can write");
        }
    }

    /** What others may hold on a private folder: reading, listing, running what is in it. */
    private static final EnumSet<AclEntryPermission> READS = EnumSet.of(AclEntryPermission.READ_DATA,
            AclEntryPermission.READ_NAMED_ATTRS, AclEntryPermission.EXECUTE, AclEntryPermission.READ_ATTRIBUTES,
            AclEntryPermission.READ_ACL, AclEntryPermission.SYNCHRONIZE);

    /** Whether no entry but me's allows any kind of write; inherit-only entries count, they reach what we create in it. */
    static boolean onlyWritableBy(UserPrincipal me, List<AclEntry> acl) {
        for (AclEntry entry : acl) {
            if (entry.type() == AclEntryType.ALLOW && !entry.principal().equals(me)
                    && !READS.containsAll(entry.permissions())) {
                return false;
            }
        }
        return true;
    }
}
