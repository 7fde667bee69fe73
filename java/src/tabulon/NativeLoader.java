package tabulon;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;

/**
 * Finds and loads libTabulon for {@link Tabulon}'s static initialiser, in this order: the file
 * named by the system property {@code tabulon.library.path}; the library on
 * {@code java.library.path}; the copy bundled in the jar, written to a new private temporary
 * file, loaded from there and deleted at once (the loaded mapping outlives the name).
 *
 * <p>It must be called from {@code Tabulon.<clinit>}: the library binds its loader method on
 * the class whose static initialiser is on the stack while it loads.
 */
final class NativeLoader {
  /** Where the jar keeps the library for one platform. */
  static final String BUNDLED_RESOURCE = "/tabulon/native/linux-x86-64/libTabulon.so";

  private NativeLoader() {}

  /** Loads the library once; a failure is an {@link UnsatisfiedLinkError} saying why. */
  static void load() {
    String path = System.getProperty(Tabulon.LIBRARY_PATH_PROPERTY);
    if (path != null && !path.isEmpty()) {
      // System.load takes only absolute names; a relative one is taken from the working folder.
      System.load(Path.of(path).toAbsolutePath().toString());
    } else if (onLibraryPath(System.mapLibraryName("Tabulon"))) {
      System.loadLibrary("Tabulon");
    } else {
      loadBundled();
    }
  }

  /** True when a directory of java.library.path holds the file {@code fileName}. */
  static boolean onLibraryPath(String fileName) {
    String dirs = System.getProperty("java.library.path", "");
    for (String dir : dirs.split(File.pathSeparator)) {
      if (!dir.isEmpty() && new File(dir, fileName).isFile()) return true;
    }
    return false;
  }

  private static void loadBundled() {
    if (!isLinuxX86_64()) {
      throw new UnsatisfiedLinkError("libTabulon: no bundled library for "
          + System.getProperty("os.name") + " " + System.getProperty("os.arch")
          + "; set -D" + Tabulon.LIBRARY_PATH_PROPERTY + "=/absolute/path/to/the/library");
    }
    Path file;
    try (InputStream in = NativeLoader.class.getResourceAsStream(BUNDLED_RESOURCE)) {
      if (in == null) {
        throw new UnsatisfiedLinkError("libTabulon: the jar holds no " + BUNDLED_RESOURCE);
      }
      file = extract(in, Path.of(System.getProperty("java.io.tmpdir")));
    } catch (IOException e) {
      UnsatisfiedLinkError error = new UnsatisfiedLinkError(
          "libTabulon: cannot write the bundled library to java.io.tmpdir: " + e);
      error.initCause(e);
      throw error;
    }
    try {
      System.load(file.toAbsolutePath().toString());
    } catch (UnsatisfiedLinkError e) {
      // Typically a java.io.tmpdir mounted noexec.
      UnsatisfiedLinkError error = new UnsatisfiedLinkError("libTabulon: cannot load the bundled"
          + " copy written to " + file.getParent() + " (" + e.getMessage() + "); set -D"
          + Tabulon.LIBRARY_PATH_PROPERTY + "=/absolute/path/to/libTabulon.so or point"
          + " java.io.tmpdir elsewhere");
      error.initCause(e);
      throw error;
    } finally {
      try {
        Files.deleteIfExists(file);
      } catch (IOException e) {
        file.toFile().deleteOnExit();
      }
    }
  }

  static boolean isLinuxX86_64() {
    String arch = System.getProperty("os.arch", "");
    return System.getProperty("os.name", "").equals("Linux")
        && (arch.equals("amd64") || arch.equals("x86_64"));
  }

  /**
   * Copies {@code in} to a new file in {@code dir} that only this user can read or write. The
   * name is random and the file is created exclusively, so no other process can predict or
   * pre-create it.
   */
  static Path extract(InputStream in, Path dir) throws IOException {
    Path file = Files.createTempFile(dir, "libTabulon", ".so",
        PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rw-------")));
    try (OutputStream out = Files.newOutputStream(file)) {
      in.transferTo(out);
    } catch (IOException | RuntimeException e) {
      Files.deleteIfExists(file);
      throw e;
    }
    return file;
  }
}
