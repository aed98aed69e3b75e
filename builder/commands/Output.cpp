#include "builder/commands/Output.h"

#include "resources/PackageFormat.h"

#include <cstring>

// Small pieces (headers, padding, directory) gathered into whole writes of
// a payload chunk's size.
using package_format::kChunkBytes;

Output::Output(const std::string &path, Failure failure, Existing existing, bool executable)
    : path_(path), failure_(std::move(failure)), existing_(existing) {
  buffer_.reserve(kChunkBytes);
  // Beside the output, so that the rename stays on one file system.
  const std::string stem = path + "." + std::to_string(platform::ProcessId()) + ".partial";
  for (int attempt = 0; !file_; ++attempt) {
    temporary_ = attempt ? stem + std::to_string(attempt) : stem;
    // Watched before it exists, so that no interrupt can leave it behind.
    platform::RemoveOnInterrupt(temporary_);
    try {
      file_.emplace(platform::File::CreateNew(temporary_, executable));
    } catch (const platform::SystemError &error) {
      platform::RemoveOnInterrupt("");
      const platform::Kind kind = platform::KindOf(temporary_);
      // Another's file under the name: the next name. Anything else fails.
      if (attempt < 100 && kind != platform::Kind::Missing && kind != platform::Kind::Unknown)
        continue;
      temporary_.clear();
      Fail(error);
    }
  }
}

Output::~Output() {
  if (committed_ || temporary_.empty())
    return;
  file_.reset();
  platform::Remove(temporary_);
  platform::RemoveOnInterrupt("");
}

void Output::Write(const std::uint8_t *data, std::size_t size) {
  if (buffer_.size() + size > kChunkBytes)
    Flush();
  if (size >= kChunkBytes) {
    try {
      file_->Write(data, size);
    } catch (const platform::SystemError &error) {
      Fail(error);
    }
    return;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

void Output::WriteAt(std::uint64_t offset, const std::uint8_t *data, std::size_t size) {
  Flush();
  try {
    file_->WriteAt(offset, data, size);
  } catch (const platform::SystemError &error) {
    Fail(error);
  }
}

void Output::Flush() {
  if (buffer_.empty())
    return;
  try {
    file_->Write(buffer_.data(), buffer_.size());
  } catch (const platform::SystemError &error) {
    Fail(error);
  }
  buffer_.clear();
}

void Output::Commit(Digest *digest) {
  Flush();
  try {
    // A full disk may show only when the file is closed.
    file_->Close();
    file_.reset();
    // Read back rather than taken on the way: the header's checksum is
    // written last, and what is reported is what the disk holds.
    if (digest) {
      platform::File written = platform::File::OpenRead(temporary_);
      Bytes chunk(kChunkBytes);
      Sha256 sha256;
      while (const std::size_t got = written.Read(chunk.data(), chunk.size()))
        sha256.Add(chunk.data(), got);
      *digest = sha256.Finish();
    }
    if (existing_ == Existing::Replace)
      platform::Rename(temporary_, path_);
    else
      platform::RenameNew(temporary_, path_);
  } catch (const platform::SystemError &error) {
    Fail(error);
  }
  committed_ = true;
  platform::RemoveOnInterrupt("");
}

void Output::Fail(const platform::SystemError &error) const { throw failure_(error); }
