// fioget and fioput: check the block, hand user-exit files to the exit, and branch on the
// block's record format.
#include "fio/asn1_format.h"
#include "fio/dtaus_format.h"
#include "fio/fio.h"
#include "fio/record_format_handlers.h"
#include "fio/user_io_exit.h"

namespace {

// A block opened with 3 (only possible through a block set up by hand) reads and writes as
// text with the default delimiter.
void MakeText(FileControlBlock& fcb) {
  fcb.recordFormat = kFmtTextStored;
  fcb.delimiter = kDelimDefault;
}

void GetText(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
             std::int32_t capacity) {
  switch (DelimCount(fcb.delimiter)) {
    case 1:
      rc = ReadWithDelim1(fcb, buffer, capacity, length);
      break;
    case 2:
      rc = ReadWithDelim2(fcb, buffer, capacity, length);
      break;
    default:
      rc = kFioBadRecordFormat;
      break;
  }
}

}  // namespace

std::int32_t FioMinCapacity(std::int32_t recordFormat) {
  switch (recordFormat) {
    case kFmtUndefined:
    case kFmtText:
    case kFmtTextStored:
      return 1;  // a read must be able to move on
    case kFmtVar2bIn:
      return 2;  // the record keeps its prefix
    case kFmtVar4bIn:
    case kFmtTorqRecord:
    case kFmtTorqBlock:
      return 4;
    case kFmtPrintable:
    case kFmtPrintable2:
      return 3;
    case kFmtEaf:
      return 7;
    default:
      return 0;
  }
}

void fioget(FileControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            const std::int32_t& capacity) {
  FileControlBlock* fcb = slot;
  if (!FcbEnter(fcb, rc)) return;
  if (fcb->device == kDeviceUserIo) {
    std::int32_t room = capacity;
    usrget(fcb->exitArea, rc, length, buffer, room);
    return;
  }
  length = 0;
  const std::int32_t room = buffer && capacity > 0 ? capacity : 0;
  if (room < FioMinCapacity(fcb->recordFormat)) {
    rc = kFioLengthError;
    return;
  }
  switch (fcb->recordFormat) {
    case kFmtVar2b:
    case kFmtVar2bData:
    case kFmtVar4b:
    case kFmtVarAscii:
    case kFmtVarEbcdic:
    case kFmtVarIntel:
    case kFmtVar2bIn:
    case kFmtVar4bIn:
      GetVariable(*fcb, rc, length, buffer, room);
      break;
    case kFmtFix:
      GetFix(*fcb, rc, length, buffer, room);
      break;
    case kFmtUndefined:
      GetUndefined(*fcb, rc, length, buffer, room);
      break;
    case kFmtText:
      MakeText(*fcb);
      GetText(*fcb, rc, length, buffer, room);
      break;
    case kFmtTextStored:
      GetText(*fcb, rc, length, buffer, room);
      break;
    case kFmtEaf:
      GetEaf(*fcb, rc, length, buffer, room);
      break;
    case kFmtAsn1:
    case kFmtAsn1Blk:
    case kFmtAsn1Stream:
      asn1get(*fcb, rc, length, buffer, room);
      break;
    case kFmtTorqRecord:
    case kFmtTorqBlock:
      GetTorqRecord(*fcb, rc, length, buffer, room);
      break;
    case kFmtPrintable:
    case kFmtPrintable2:
      read_cx7_record(slot, rc, buffer, length, room);
      break;
    default:
      if (IsDtausFormat(fcb->recordFormat))
        dtausget(*fcb, rc, length, buffer, room);
      else
        rc = kFioBadRecordFormat;  // 12 among them: an open stores dtext input as 11
      break;
  }
}

void fioput(FileControlBlock*& slot, std::int32_t& rc, const std::int32_t& length,
            std::uint8_t* buffer) {
  FileControlBlock* fcb = slot;
  if (!FcbEnter(fcb, rc)) return;
  if (fcb->device == kDeviceUserIo) {
    std::int32_t count = length;
    usrput(fcb->exitArea, rc, count, buffer);
    return;
  }
  if (length < 0 || (length > 0 && !buffer)) {
    rc = kFioLengthError;
    return;
  }
  switch (fcb->recordFormat) {
    case kFmtVar2b:
    case kFmtVar2bData:
    case kFmtVar4b:
    case kFmtVarAscii:
    case kFmtVarEbcdic:
    case kFmtVarIntel:
      PutVariable(*fcb, rc, length, buffer);
      break;
    case kFmtFix:
      PutFix(*fcb, rc, length, buffer);
      break;
    case kFmtUndefined:
    case kFmtEaf:
    case kFmtVar2bIn:
    case kFmtVar4bIn:
      PutAsGiven(*fcb, rc, length, buffer);
      break;
    case kFmtText:
      MakeText(*fcb);
      PutText(*fcb, rc, length, buffer);
      break;
    case kFmtTextStored:
    case kFmtAsn1Stream:
      PutText(*fcb, rc, length, buffer);
      break;
    case kFmtDtext:
      PutDtext(*fcb, rc, length, buffer);
      break;
    case kFmtAsn1Blk:
      asn1put(*fcb, rc, length, buffer);
      break;
    default:
      if (IsDtausFormat(fcb->recordFormat))
        dtausput(*fcb, rc, length, buffer);
      else
        rc = kFioBadRecordFormat;  // 208, the TORQFILE codes and unknown codes
      break;
  }
}
