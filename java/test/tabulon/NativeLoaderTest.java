package tabulon;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The private temporary copy of the bundled library. */
class NativeLoaderTest {
  @Test
  void extractedCopyIsPrivateAndFresh(@TempDir Path dir) throws IOException {
    byte[] bytes = {1, 2, 3, 0, 127};
    Path first = NativeLoader.extract(new ByteArrayInputStream(bytes), dir);
    Path second = NativeLoader.extract(new ByteArrayInputStream(bytes), dir);
    assertNotEquals(first, second);
    assertArrayEquals(bytes, Files.readAllBytes(first));
    assertEquals("rw-------", PosixFilePermissions.toString(Files.getPosixFilePermissions(first)));
    assertEquals(dir, first.getParent());
  }

  @Test
  void jarCarriesTheLibrary() throws IOException {
    try (InputStream in = NativeLoader.class.getResourceAsStream(NativeLoader.BUNDLED_RESOURCE)) {
      assertNotNull(in);
      byte[] head = in.readNBytes(4);
      assertArrayEquals(new byte[] {0x7f, 'E', 'L', 'F'}, head);
    }
  }
}
