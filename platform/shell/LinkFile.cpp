#include "platform/shell/LinkFile.h"

#include <cstring>

#include "platform/text.h"

namespace shell {
namespace {

constexpr DWORD kHeaderSize = 0x4C;
constexpr BYTE kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum LinkFlags : DWORD {
  kHasLinkTargetIdList = 0x1,
  kHasLinkInfo = 0x2,
  kHasName = 0x4,
  kHasRelativePath = 0x8,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
};

enum LinkInfoFlags : DWORD { kVolumeIdAndLocalBasePath = 0x1, kNetworkLinkAndPathSuffix = 0x2 };

constexpr DWORD kLinkInfoHeaderSize = 0x24;  // with the Unicode path offsets
constexpr DWORD kDriveFixed = 3;
constexpr DWORD kNetLanman = 0x00020000;
constexpr DWORD kValidNetType = 0x2;

// The show commands a link may hold; any other opens normally.
int StoredShowCommand(int show) { return show == 3 || show == 7 ? show : 1; }

class Writer {
 public:
  void U16(WORD v) { Bytes(&v, sizeof v); }
  void U32(DWORD v) { Bytes(&v, sizeof v); }
  void Time(const FILETIME& t) {
    U32(t.dwLowDateTime);
    U32(t.dwHighDateTime);
  }
  void Bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), size); }
  void Ansi(std::u16string_view text) {
    out_ += machine::ToAnsi(text);
    out_ += '\0';
  }
  void Unicode(std::u16string_view text, bool terminate) {
    Bytes(text.data(), text.size() * sizeof(char16_t));
    if (terminate) U16(0);
  }
  void PatchU32(size_t at, DWORD v) { std::memcpy(&out_[at], &v, sizeof v); }
  size_t Size() const { return out_.size(); }
  std::string& Text() { return out_; }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool U16(WORD& v) { return Copy(&v, sizeof v); }
  bool U32(DWORD& v) { return Copy(&v, sizeof v); }
  bool Time(FILETIME& t) { return U32(t.dwLowDateTime) && U32(t.dwHighDateTime); }
  bool Skip(size_t size) {
    if (size > bytes_.size() - at_) return false;
    at_ += size;
    return true;
  }
  bool Unicode(size_t count, std::u16string& text) {
    text.assign(count, u'\0');
    return Copy(text.data(), count * sizeof(char16_t));
  }
  bool Ansi(size_t count, std::u16string& text) {
    if (count > bytes_.size() - at_) return false;
    text = machine::FromAnsi(bytes_.substr(at_, count));
    at_ += count;
    return true;
  }
  size_t At() const { return at_; }

 private:
  bool Copy(void* to, size_t size) {
    if (size > bytes_.size() - at_) return false;
    std::memcpy(to, bytes_.data() + at_, size);
    at_ += size;
    return true;
  }
  std::string_view bytes_;
  size_t at_ = 0;
};

bool IsUnc(std::u16string_view path) {
  return path.size() > 2 && path[0] == u'\\' && path[1] == u'\\';
}

// \\SERVER\SHARE\rest -> "\\SERVER\SHARE" and "rest".
void SplitUnc(std::u16string_view path, std::u16string& share, std::u16string& rest) {
  const size_t server = path.find(u'\\', 2);
  const size_t end = server == std::u16string_view::npos ? server : path.find(u'\\', server + 1);
  share = std::u16string(path.substr(0, end));
  rest = end == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(end + 1));
}

void WriteLinkInfo(Writer& w, std::u16string_view target) {
  const size_t start = w.Size();
  const bool unc = IsUnc(target);
  std::u16string share, suffix;
  if (unc) SplitUnc(target, share, suffix);
  w.U32(0);  // size, patched below
  w.U32(kLinkInfoHeaderSize);
  w.U32(unc ? kNetworkLinkAndPathSuffix : kVolumeIdAndLocalBasePath);
  const size_t offsets = w.Size();
  for (int i = 0; i < 6; ++i) w.U32(0);  // patched as the parts are written
  const auto mark = [&](int slot) {
    w.PatchU32(offsets + 4 * slot, static_cast<DWORD>(w.Size() - start));
  };
  if (unc) {
    mark(2);  // CommonNetworkRelativeLink
    w.U32(0x14 + static_cast<DWORD>(machine::ToAnsi(share).size() + 1));
    w.U32(kValidNetType);
    w.U32(0x14);  // NetName
    w.U32(0);     // no device
    w.U32(kNetLanman);
    w.Ansi(share);
  } else {
    mark(0);  // VolumeID: a fixed drive without label or serial number
    w.U32(0x11);
    w.U32(kDriveFixed);
    w.U32(0);
    w.U32(0x10);
    w.Bytes("", 1);
    mark(1);  // LocalBasePath
    w.Ansi(target);
  }
  mark(3);  // CommonPathSuffix
  w.Ansi(suffix);
  if (!unc) {
    mark(4);
    w.Unicode(target, true);
  }
  mark(5);
  w.Unicode(suffix, true);
  w.PatchU32(start, static_cast<DWORD>(w.Size() - start));
}

void WriteString(Writer& w, std::u16string_view text) {
  w.U16(static_cast<WORD>(text.size()));
  w.Unicode(text, false);
}

// A NUL-terminated string at `offset` inside `info`: ANSI or UTF-16.
bool StringAt(std::string_view info, DWORD offset, bool unicode, std::u16string& text) {
  if (offset == 0 || offset >= info.size()) return false;
  Reader r(info.substr(offset));
  text.clear();
  for (;;) {
    if (unicode) {
      WORD c = 0;
      if (!r.U16(c)) return false;
      if (c == 0) return true;
      text += static_cast<char16_t>(c);
    } else {
      std::u16string one;
      if (!r.Ansi(1, one)) return false;
      if (one[0] == 0) return true;
      text += one;
    }
  }
}

bool ReadLinkInfo(Reader& r, std::string_view bytes, LinkFile& link) {
  const size_t start = r.At();
  DWORD size = 0, headerSize = 0, flags = 0;
  DWORD offsets[6] = {};  // volume, local, network, suffix, local unicode, suffix unicode
  if (!r.U32(size) || size < 0x1C || size > bytes.size() - start || !r.U32(headerSize) ||
      !r.U32(flags)) {
    return false;
  }
  const int count = headerSize >= kLinkInfoHeaderSize ? 6 : 4;
  for (int i = 0; i < count; ++i) {
    if (!r.U32(offsets[i])) return false;
  }
  const std::string_view info = bytes.substr(start, size);
  std::u16string suffix;
  if (!StringAt(info, offsets[5], true, suffix)) StringAt(info, offsets[3], false, suffix);
  if (flags & kVolumeIdAndLocalBasePath) {
    if (!StringAt(info, offsets[4], true, link.target) &&
        !StringAt(info, offsets[1], false, link.target)) {
      return false;
    }
  } else if (flags & kNetworkLinkAndPathSuffix) {
    DWORD netNameOffset = 0;
    Reader network(info.substr(std::min<size_t>(offsets[2], info.size())));
    if (!network.Skip(8) || !network.U32(netNameOffset) ||
        !StringAt(info, offsets[2] + netNameOffset, false, link.target)) {
      return false;
    }
  }
  if (!suffix.empty()) {
    if (!link.target.empty() && link.target.back() != u'\\') link.target += u'\\';
    link.target += suffix;
  }
  const size_t consumed = r.At() - start;
  return consumed <= size && r.Skip(size - consumed);
}

bool ReadString(Reader& r, bool unicode, std::u16string& text) {
  WORD count = 0;
  if (!r.U16(count)) return false;
  return unicode ? r.Unicode(count, text) : r.Ansi(count, text);
}

}  // namespace

std::string EncodeLinkFile(const LinkFile& link) {
  DWORD flags = kIsUnicode;
  if (!link.target.empty()) flags |= kHasLinkInfo;
  const std::pair<DWORD, const std::u16string*> strings[] = {
      {kHasName, &link.description},
      {kHasRelativePath, &link.relativePath},
      {kHasWorkingDir, &link.workingDirectory},
      {kHasArguments, &link.arguments},
      {kHasIconLocation, &link.iconLocation},
  };
  for (const auto& [flag, text] : strings) {
    if (!text->empty()) flags |= flag;
  }
  Writer w;
  w.U32(kHeaderSize);
  w.Bytes(kLinkClsid, sizeof kLinkClsid);
  w.U32(flags);
  w.U32(link.fileAttributes);
  w.Time(link.creationTime);
  w.Time(link.accessTime);
  w.Time(link.writeTime);
  w.U32(link.fileSize);
  w.U32(static_cast<DWORD>(link.iconIndex));
  w.U32(static_cast<DWORD>(StoredShowCommand(link.showCommand)));
  w.U16(link.hotkey);
  w.U16(0);
  w.U32(0);
  w.U32(0);
  if (flags & kHasLinkInfo) WriteLinkInfo(w, link.target);
  for (const auto& [flag, text] : strings) {
    if (flags & flag) WriteString(w, *text);
  }
  w.U32(0);  // terminal extra data block
  return std::move(w.Text());
}

bool DecodeLinkFile(std::string_view bytes, LinkFile& link) {
  link = LinkFile();
  Reader r(bytes);
  DWORD headerSize = 0, flags = 0, icon = 0, show = 0;
  if (!r.U32(headerSize) || headerSize != kHeaderSize || bytes.size() < kHeaderSize ||
      std::memcmp(bytes.data() + 4, kLinkClsid, sizeof kLinkClsid) != 0) {
    return false;
  }
  r.Skip(sizeof kLinkClsid);
  if (!r.U32(flags) || !r.U32(link.fileAttributes) || !r.Time(link.creationTime) ||
      !r.Time(link.accessTime) || !r.Time(link.writeTime) || !r.U32(link.fileSize) ||
      !r.U32(icon) || !r.U32(show) || !r.U16(link.hotkey) || !r.Skip(10)) {
    return false;
  }
  link.iconIndex = static_cast<int>(icon);
  link.showCommand = StoredShowCommand(static_cast<int>(show));
  if (flags & kHasLinkTargetIdList) {
    WORD size = 0;
    if (!r.U16(size) || !r.Skip(size)) return false;
  }
  if ((flags & kHasLinkInfo) && !ReadLinkInfo(r, bytes, link)) return false;
  const bool unicode = flags & kIsUnicode;
  const std::pair<DWORD, std::u16string*> strings[] = {
      {kHasName, &link.description},
      {kHasRelativePath, &link.relativePath},
      {kHasWorkingDir, &link.workingDirectory},
      {kHasArguments, &link.arguments},
      {kHasIconLocation, &link.iconLocation},
  };
  for (const auto& [flag, text] : strings) {
    if ((flags & flag) && !ReadString(r, unicode, *text)) return false;
  }
  // Extra data blocks, each with its size first, end with a block of less
  // than four bytes; a file cut short lacks it.
  for (;;) {
    DWORD size = 0;
    if (!r.U32(size)) return false;
    if (size < 4) return true;
    if (!r.Skip(size - 4)) return false;
  }
}

}  // namespace shell
