// Files written whole before they take their name: a temporary file made with mkstemp in the
// temporary folder, every write checked, flushed and closed, then renamed into place. When the
// temporary folder and the target lie on two file systems (the rename fails with EXDEV), the
// whole file is first copied next to the target under a temporary name and renamed from there,
// so that no partial file ever stands under the final name. Paths are cp1252.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The temporary folder: $TMPDIR when it names a folder, else "/tmp". Ends without "/".
std::string TemporaryFolder();

// A file being written. Its temporary file is removed by the destructor unless it was placed.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() { Discard(); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Makes a new empty file "<folder>/<prefix>XXXXXX" (mkstemp; `folder` empty = the temporary
  // folder). False, with the errno kept, when it cannot be made.
  bool Create(const std::string& prefix, const std::string& folder = "");
  // Appends the bytes; a failed write (full disk ...) is remembered: Place then refuses.
  bool Write(const char* data, std::size_t size);
  bool Write(const std::string& text) { return Write(text.data(), text.size()); }
  // Flushes and closes the file, then gives it the name `target` (replacing a file of that
  // name) as described above. False, with nothing under `target` changed and the temporary
  // files removed, when any write, the flush, the close, the copy or the rename failed.
  bool Place(const std::string& target);
  // Closes and removes the temporary file (nothing when none or already placed).
  void Discard();

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // errno of the first failure (0 when none) and its French text.
  int Error() const { return error_; }
  std::string ErrorText() const;

 private:
  int fd_ = -1;
  std::string path_;
  int error_ = 0;
  bool placed_ = false;
};

// Waits that many milliseconds.
void SleepMilliseconds(int milliseconds);

}  // namespace platform
