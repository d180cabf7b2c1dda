// The buffered file classes: one object per open file, each with one 128 KB buffer that moves
// data to and from the file in pieces of at most 64 KB. The reader hands out pointers into its
// buffer and never copies a record; the writer collects records and writes 64 KB at a time,
// keeping every write of an appended file on a 64 KB boundary. The record layer reaches them
// only through the plain functions of buffered_file_api.h.
#pragma once
#include <cerrno>
#include <cstdint>
#include <memory>

#include "support/platform/file_io.h"

using torq::platform::FileHandle;

// Codes kept in the last error besides system error numbers.
inline constexpr std::uint32_t kIoErrorInvalidHandle = 6;   // the object is not open
inline constexpr std::uint32_t kIoErrorInvalidAccess = 12;  // an operation of the other direction
inline constexpr std::uint32_t kIoErrorBadDevType = 66;     // needs a disk file
inline constexpr std::uint32_t kIoErrorBusy = 170;          // the object is open already
// A Write that would bring the buffered data to the write limit ("Illegal WriteLen").
inline constexpr std::uint32_t kIoErrorWriteLen = EMSGSIZE;
// A Get or GetUpdate asking for more than one 64 KB piece.
inline constexpr std::uint32_t kIoErrorReadLen = EINVAL;

inline constexpr std::uint32_t kIoBufferSize = 131072;  // one buffer per object
inline constexpr std::uint32_t kIoPieceSize = 65536;    // the most one read or write moves
inline constexpr std::uint32_t kIoWriteLimit = 98304;   // buffered data stays below this
inline constexpr std::uint32_t kIoCreateAppend = 8;     // Create flag: append to an existing file
inline constexpr std::int32_t kIoAttributeLevel = 44;   // size of the full attribute vector

// Move methods of SetPosition.
inline constexpr std::uint32_t kIoMoveBegin = 0;
inline constexpr std::uint32_t kIoMoveCurrent = 1;
inline constexpr std::uint32_t kIoMoveEnd = 2;

// The abstract interface. Operations returning int give 1 for success and 0 for failure; the
// reason is then in LastError(). Nothing throws.
class TBasicIo {
 public:
  virtual ~TBasicIo() = default;

  virtual void ClearError() = 0;
  virtual int Close() = 0;
  virtual int Rewind() = 0;
  virtual int Endwind() = 0;
  virtual int Unget() = 0;
  virtual int Create(const char* name, std::uint32_t flags) = 0;
  virtual int CreateFileEx(const char* name, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                           std::uint32_t d) = 0;
  virtual int Get(void** data, std::uint32_t length, std::uint32_t* got) = 0;
  virtual int GetSysAttributes(std::uint32_t delimiter, std::int32_t recordFormat,
                               std::int32_t fillByte, std::int32_t* level, void* vector) = 0;
  virtual std::uint32_t GetSysError() = 0;
  virtual int GetUpdate(void** data, std::uint32_t length, std::uint32_t* got) = 0;
  virtual FileHandle Handle() = 0;
  virtual int IsOpen() = 0;
  virtual int Open(const char* name, std::uint32_t flags) = 0;
  virtual std::uint32_t SetError(std::uint32_t code) = 0;
  virtual int SetPosition(std::uint32_t distanceLow, std::uint32_t moveMethod,
                          std::uint32_t* distanceHigh, std::int64_t* newPosition) = 0;
  virtual int Write(const void* data, std::uint32_t length, std::uint32_t* written) = 0;
  virtual int WriteUpdate(const void* data, std::uint32_t length, std::uint32_t* written) = 0;
  virtual int GetPosition(std::int64_t* basePosition, std::uint32_t* offset) = 0;
  virtual void WipeBuffer() = 0;

  std::uint32_t LastError() const { return m_LastError; }
  // The last error as an operating-system error number: the layer's own codes (6, 12, 66,
  // 170) share the word with system error numbers but mean something else there (6 is ENXIO,
  // 12 ENOMEM on this system), so they are given as the nearest system error instead.
  std::uint32_t SystemError() const {
    return m_OwnError ? IoErrorAsSystemError(m_LastError) : m_LastError;
  }
  static std::uint32_t IoErrorAsSystemError(std::uint32_t code);

 protected:
  TBasicIo() = default;
  TBasicIo(const TBasicIo&) = delete;
  TBasicIo& operator=(const TBasicIo&) = delete;

  bool KeepName(const char* name);
  // The start of Open and Create: refused (170) on an open object; keeps the name.
  bool StartOpen(const char* name);
  // One of the layer's own codes (kIoError...).
  void SetIoError(std::uint32_t code) {
    m_LastError = code;
    m_OwnError = true;
  }
  // An operating-system error number (or 0).
  void SetSystemError(int error) {
    m_LastError = static_cast<std::uint32_t>(error);
    m_OwnError = false;
  }

  std::unique_ptr<char[]> m_FileName;  // copy of the name given to Open or Create
  std::uint32_t m_LastCount = 0;       // bytes moved by the last read or write
  std::uint32_t m_LastError = 0xFFFFFFFF;
  bool m_OwnError = false;  // m_LastError holds one of the layer's own codes
};

// The common part of reader and writer.
class TCustomIo : public TBasicIo {
 public:
  void ClearError() override;
  int GetSysAttributes(std::uint32_t delimiter, std::int32_t recordFormat, std::int32_t fillByte,
                       std::int32_t* level, void* vector) override;
  std::uint32_t GetSysError() override;
  FileHandle Handle() override;
  int IsOpen() override;
  std::uint32_t SetError(std::uint32_t code) override;
  int GetPosition(std::int64_t* basePosition, std::uint32_t* offset) override;
  void WipeBuffer() override;

  std::int32_t IoType() const { return m_IoType; }

 protected:
  TCustomIo() = default;
  // Fetches the information record and the size of a reader's file.
  void FetchFileInformation();
  // Endwind of a disk file: the last 64 KB boundary of the file and the piece behind it,
  // read into the buffer at m_Base, with the file pointer behind that piece. 1, or 0 with the
  // error kept.
  int LoadLastPiece(std::uint64_t& size, std::uint64_t& boundary, std::size_t& got);

  char* m_Nrp = nullptr;      // reader: where the next Get starts; writer: end of the data
  std::uint32_t m_Type = 0;   // 1 disk, 2 character device, 3 pipe, 0 none of these
  char* m_Base = nullptr;     // reader: upper half of the buffer; writer: buffer start
  char* m_BaseEnd = nullptr;  // m_Base + 64 KB
  std::unique_ptr<char[]> m_Buffer;
  char* m_Crp = nullptr;      // start of the record last delivered or written
  char* m_DataEnd = nullptr;  // reader: end of the valid data
  std::int64_t m_BasePos = -1;   // file offset of the byte at m_Base
  std::int64_t m_DataPos = -1;   // reader: bytes read so far; writer: end of accepted data
  std::int64_t m_FileSize = -1;  // -1 when not known
  FileHandle m_hFile = torq::platform::kInvalidFile;
  std::int32_t m_IoType = -1;  // 0 reader, 1 writer
  std::int32_t m_StdIo = 0;    // 1: a standard stream, never closed
  std::int32_t m_InfoValid = 0;
  torq::platform::FileInformation m_FileInfo{};
  std::uint32_t m_BufferSize = 0;
};

// Input: a named file opened with Open, or standard input.
class TBasicIoRead : public TCustomIo {
 public:
  TBasicIoRead();
  // StdIo nonzero: the object stands for standard input (open unless the process has none).
  explicit TBasicIoRead(int StdIo);
  ~TBasicIoRead() override;

  int Close() override;
  int Rewind() override;
  int Endwind() override;
  int Unget() override;
  int Create(const char* name, std::uint32_t flags) override;
  int CreateFileEx(const char* name, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                   std::uint32_t d) override;
  // Delivers the next `length` bytes (at most 64 KB) as a pointer into the buffer, valid until
  // the next Get, GetUpdate, Rewind, Endwind or SetPosition. 1 with 0 bytes is the end of the
  // data; a read error fails the call.
  int Get(void** data, std::uint32_t length, std::uint32_t* got) override;
  // Delivers the current record again from its start with a new length.
  int GetUpdate(void** data, std::uint32_t length, std::uint32_t* got) override;
  int Open(const char* name, std::uint32_t flags) override;
  int SetPosition(std::uint32_t distanceLow, std::uint32_t moveMethod,
                  std::uint32_t* distanceHigh, std::int64_t* newPosition) override;
  int Write(const void* data, std::uint32_t length, std::uint32_t* written) override;
  int WriteUpdate(const void* data, std::uint32_t length, std::uint32_t* written) override;

  int RefreshBuffer();
  int ReorgBuffer();

  // Delivers as many whole units of `unit` bytes as the buffer holds, at most `most` bytes
  // (most at most 64 KB), as one piece in place; refills first when less than one unit is
  // buffered. `got` is a multiple of the unit: 0 at the end of the data or when only part of
  // a unit is left, which stays for the next Get.
  int GetRun(void** data, std::uint32_t unit, std::uint32_t most, std::uint32_t* got);

 private:
  int Deliver(void** data, std::uint32_t length, std::uint32_t* got);

  bool m_AtEnd = false;  // a read met the end of the data; nothing more is read
};

// Output: a named file made with Create, or standard output.
class TBasicIoWrite : public TCustomIo {
 public:
  TBasicIoWrite();
  // StdIo nonzero: the object stands for standard output (open unless the process has none).
  explicit TBasicIoWrite(int StdIo);
  ~TBasicIoWrite() override;

  int Close() override;
  int Rewind() override;
  int Endwind() override;
  int Unget() override;
  // Flag kIoCreateAppend keeps an existing file and positions for appending; otherwise an
  // existing file is emptied. A missing file is created either way.
  int Create(const char* name, std::uint32_t flags) override;
  int CreateFileEx(const char* name, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                   std::uint32_t d) override;
  int Get(void** data, std::uint32_t length, std::uint32_t* got) override;
  int GetUpdate(void** data, std::uint32_t length, std::uint32_t* got) override;
  int Open(const char* name, std::uint32_t flags) override;
  int SetPosition(std::uint32_t distanceLow, std::uint32_t moveMethod,
                  std::uint32_t* distanceHigh, std::int64_t* newPosition) override;
  // Appends a record to the buffer. A record that would bring the buffered data to 96 KB is
  // refused with kIoErrorWriteLen; any length up to 32 KB is always accepted.
  int Write(const void* data, std::uint32_t length, std::uint32_t* written) override;
  // Overwrites the last record while it is still in the buffer.
  int WriteUpdate(const void* data, std::uint32_t length, std::uint32_t* written) override;

  int FlushBuffer();

  // Room for writing a run of records straight into the buffer, as Write would take them: the
  // first 64 KB go to the file first when 64 KB or more are buffered. `room` may be filled up
  // to `size` bytes (the buffered data stays below the write limit); a record may begin in the
  // first `starts` bytes only, so the buffered data never passes the limit by more than one
  // record. Size 0 on a character device, which gets every record at once through Write.
  int WriteRoom(void** room, std::uint32_t* size, std::uint32_t* starts);
  // Takes `length` bytes written into the room as written data.
  int WriteCommit(std::uint32_t length);

 private:
  // The object is open and the data is there; otherwise the error is kept.
  bool Takes(const void* data, std::uint32_t length);

  char* m_Limit = nullptr;  // m_Base + 96 KB
  bool m_Dirty = false;
  bool m_FlushEachWrite = false;  // a character device gets every record at once
};
