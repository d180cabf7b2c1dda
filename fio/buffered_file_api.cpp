#include "fio/buffered_file_api.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "support/debug_log.h"

std::int32_t LastBasicIoError = 0;

namespace {

// Builds a reader or writer; with `stdIo` one on the standard stream. Objects and buffers
// come from the counting heap; running out of memory gives null, never an exception.
TBasicIo* CreateObject(int type, bool stdIo) {
  if (type != kBasicIoInput && type != kBasicIoOutput) {
    LastBasicIoError = static_cast<std::int32_t>(kIoErrorInvalidAccess);
    return nullptr;
  }
  try {
    if (type == kBasicIoInput) return stdIo ? new TBasicIoRead(1) : new TBasicIoRead();
    return stdIo ? new TBasicIoWrite(1) : new TBasicIoWrite();
  } catch (const std::bad_alloc&) {
    LastBasicIoError = ENOMEM;
    return nullptr;
  }
}

void DeleteObject(TBasicIo* handle) {
  auto* object = static_cast<TCustomIo*>(handle);
  switch (object->IoType()) {
    case kBasicIoInput:
      delete static_cast<TBasicIoRead*>(object);
      break;
    case kBasicIoOutput:
      delete static_cast<TBasicIoWrite*>(object);
      break;
    default:
      delete object;
      break;
  }
}

bool NullHandle(const TBasicIo* handle) {
  if (handle) return false;
  LastBasicIoError = static_cast<std::int32_t>(kIoErrorInvalidHandle);
  return true;
}

int ReadCopy(TBasicIo* handle, void* destination, std::uint32_t length, std::uint32_t* got,
             bool update) {
  if (NullHandle(handle)) return 0;
  void* data = nullptr;
  std::uint32_t count = 0;
  const int ok = update ? handle->GetUpdate(&data, length, &count)
                        : handle->Get(&data, length, &count);
  if (!ok) {
    if (got) *got = 0;
    LastBasicIoError = static_cast<std::int32_t>(handle->LastError());
    return 0;
  }
  if (count && destination) std::memcpy(destination, data, count);
  if (got) *got = count;
  return 1;
}

}  // namespace

TBasicIo* BasicIoCreate(int type) { return CreateObject(type, false); }

TBasicIo* BasicStdIoCreate(int type) { return CreateObject(type, true); }

void BasicIoDelete(TBasicIo* handle) {
  if (!handle) return;
  DeleteObject(handle);
  OutputDebugLog("BasicIoDelete %p", static_cast<void*>(handle));
}

int BasicOpenFile(TBasicIo* handle, const char* name, std::uint32_t flags) {
  return NullHandle(handle) ? 0 : handle->Open(name, flags);
}

int BasicCreateFile(TBasicIo* handle, const char* name, std::uint32_t flags) {
  return NullHandle(handle) ? 0 : handle->Create(name, flags);
}

TBasicIo* BasicCreateFileEx(const char* name, int type, std::uint32_t a, std::uint32_t b,
                            std::uint32_t c) {
  TBasicIo* object = CreateObject(type, false);
  if (!object) return nullptr;
  if (object->CreateFileEx(name, static_cast<std::uint32_t>(type), a, b, c)) return object;
  LastBasicIoError = static_cast<std::int32_t>(object->LastError());
  DeleteObject(object);
  return nullptr;
}

int BasicRead(TBasicIo* handle, void* destination, std::uint32_t length, std::uint32_t* got) {
  return ReadCopy(handle, destination, length, got, false);
}

int BasicReadUpdate(TBasicIo* handle, void* destination, std::uint32_t length,
                    std::uint32_t* got) {
  return ReadCopy(handle, destination, length, got, true);
}

int BasicGet(TBasicIo* handle, void** data, std::uint32_t length, std::uint32_t* got) {
  return NullHandle(handle) ? 0 : handle->Get(data, length, got);
}

int BasicGetUpdate(TBasicIo* handle, void** data, std::uint32_t length, std::uint32_t* got) {
  return NullHandle(handle) ? 0 : handle->GetUpdate(data, length, got);
}

int BasicGetRun(TBasicIo* handle, void** data, std::uint32_t unit, std::uint32_t most,
                std::uint32_t* got) {
  if (NullHandle(handle)) return 0;
  auto* object = static_cast<TCustomIo*>(handle);
  // The other direction answers as its own Get does (12).
  if (object->IoType() != kBasicIoInput) return handle->Get(data, 0, got);
  return static_cast<TBasicIoRead*>(object)->GetRun(data, unit, most, got);
}

int BasicWriteRoom(TBasicIo* handle, void** room, std::uint32_t* size, std::uint32_t* starts) {
  if (NullHandle(handle)) return 0;
  auto* object = static_cast<TCustomIo*>(handle);
  if (object->IoType() != kBasicIoOutput) return handle->Write(nullptr, 0, nullptr);
  return static_cast<TBasicIoWrite*>(object)->WriteRoom(room, size, starts);
}

int BasicWriteCommit(TBasicIo* handle, std::uint32_t length) {
  if (NullHandle(handle)) return 0;
  auto* object = static_cast<TCustomIo*>(handle);
  if (object->IoType() != kBasicIoOutput) return handle->Write(nullptr, 0, nullptr);
  return static_cast<TBasicIoWrite*>(object)->WriteCommit(length);
}

int BasicWrite(TBasicIo* handle, const void* data, std::uint32_t length, std::uint32_t* written) {
  return NullHandle(handle) ? 0 : handle->Write(data, length, written);
}

int BasicWriteUpdate(TBasicIo* handle, const void* data, std::uint32_t length,
                     std::uint32_t* written) {
  return NullHandle(handle) ? 0 : handle->WriteUpdate(data, length, written);
}

int BasicUnget(TBasicIo* handle) { return NullHandle(handle) ? 0 : handle->Unget(); }

int BasicRewind(TBasicIo* handle) { return NullHandle(handle) ? 0 : handle->Rewind(); }

int BasicEndwind(TBasicIo* handle) { return NullHandle(handle) ? 0 : handle->Endwind(); }

int BasicClose(TBasicIo* handle) { return NullHandle(handle) ? 0 : handle->Close(); }

int BasicSysAttributes(TBasicIo* handle, std::uint32_t delimiter, std::int32_t recordFormat,
                       std::int32_t fillByte, std::int32_t* level, void* vector) {
  if (NullHandle(handle)) return 0;
  return handle->GetSysAttributes(delimiter, recordFormat, fillByte, level, vector);
}

FileHandle BasicHandle(TBasicIo* handle) {
  return handle ? handle->Handle() : torq::platform::kInvalidFile;
}

int BasicIsOpen(TBasicIo* handle) { return handle ? handle->IsOpen() : 0; }

void BasicWipeBuffer(TBasicIo* handle) {
  if (handle) handle->WipeBuffer();
}

std::uint32_t BasicLastError(TBasicIo* handle) {
  return handle ? handle->LastError() : kIoErrorInvalidHandle;
}

std::uint32_t BasicSystemError(TBasicIo* handle) {
  return handle ? handle->SystemError() : TBasicIo::IoErrorAsSystemError(kIoErrorInvalidHandle);
}

std::int32_t LastBasicError() { return LastBasicIoError; }
