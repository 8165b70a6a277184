// One entry's header fields and their byte layouts: local header, data
// descriptor, central header and the end record. Little-endian throughout.
#pragma once

#include <cstdint>

#include "zip_entry_name.h"

constexpr std::uint32_t kLocalHeaderSize = 30;
constexpr std::uint32_t kLocalExtraSize = 17;
constexpr std::uint32_t kCentralHeaderSize = 46;
constexpr std::uint32_t kCentralExtraSize = 9;
constexpr std::uint32_t kEndRecordSize = 22;

// Zip64: the extended information extra field (tag 0x0001) of a local
// header holds both sizes; a central header's holds up to three values.
constexpr std::uint32_t kZip64LocalExtraSize = 4 + 16;
constexpr std::uint32_t kZip64CentralExtraMaxSize = 4 + 24;
constexpr std::uint32_t kZip64DataDescriptorSize = 24;
constexpr std::uint32_t kZip64EndRecordSize = 56;
constexpr std::uint32_t kZip64EndLocatorSize = 20;

constexpr std::uint16_t kVersionMadeBy = 0x0B17; // 2.3, host system 11
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kVersionNeededZip64 = 45;
constexpr std::uint16_t kFlagDescriptor = 8;    // sizes and CRC follow the data
constexpr std::uint16_t kFlagUtf8Name = 0x0800; // the name is UTF-8

// Largest local header with its name and extra fields.
constexpr std::uint32_t kLocalHeaderCapacity =
    kLocalHeaderSize + kZipNameCapacity + kZip64LocalExtraSize + kLocalExtraSize;
constexpr std::uint32_t kCentralHeaderCapacity =
    kCentralHeaderSize + kZipNameCapacity + kZip64CentralExtraMaxSize + kCentralExtraSize;
constexpr std::uint32_t kEndRecordsCapacity =
    kZip64EndRecordSize + kZip64EndLocatorSize + kEndRecordSize;

struct ZipEntryRecord {
    std::uint16_t version_made_by = kVersionMadeBy;
    std::uint16_t flags = kFlagDescriptor;
    std::uint16_t method = 0;
    std::uint32_t dos_date_time = 0; // date in the upper 16 bits
    std::uint32_t crc = 0;
    std::uint64_t compressed_size = 0;
    std::uint64_t uncompressed_size = 0;
    std::uint16_t name_length = 0;
    std::uint16_t comment_length = 0;
    std::uint16_t disk_number_start = 0;
    std::uint16_t internal_attributes = 0;
    std::uint16_t local_flags = kFlagDescriptor;
    // The local header carries Zip64 sizes (decided before the data is
    // written, kept when the header is written again).
    bool local_zip64 = false;
    std::uint32_t external_attributes = 0;
    std::uint64_t local_header_offset = 0; // absolute in the output
    std::uint8_t local_extra[kLocalExtraSize] = {};
    std::uint8_t central_extra[kCentralExtraSize] = {};
    char name[kZipNameCapacity] = {};
};

/* Fills both extended-timestamp fields (tag 0x5455, flags 7) of record with
   the modification, access and creation times. */
void SetTimestampFields(ZipEntryRecord& record, std::uint32_t modified, std::uint32_t accessed,
                        std::uint32_t created);

/* Encodes the local header with name and extra fields into out (at least
   kLocalHeaderCapacity bytes); returns the byte count, which depends only on
   the name and local_zip64. A Zip64 header (version needed 45) has both
   sizes as 0xFFFFFFFF and their values in a Zip64 field before the
   timestamps; the classic one is as it always was. */
std::uint32_t EncodeLocalHeader(const ZipEntryRecord& record, std::uint8_t* out);

/* Encodes the data descriptor into out: 16 bytes, or 24 with 8-byte sizes
   when the local header carries Zip64 sizes. Returns the byte count. */
std::uint32_t EncodeDataDescriptor(const ZipEntryRecord& record, std::uint8_t* out);

/* Encodes the central header with name and extra fields into out (at least
   kCentralHeaderCapacity bytes); returns the byte count. Each of the
   uncompressed size, compressed size and local-header offset that does not
   fit 32 bits is 0xFFFFFFFF, with its value in a Zip64 field (in that
   order) before the timestamps, and version needed 45; an entry within the
   limits is encoded as it always was. */
std::uint32_t EncodeCentralHeader(const ZipEntryRecord& record, std::uint8_t* out);

/* Encodes the records that end the archive into out (at least
   kEndRecordsCapacity bytes): the 22-byte end record with the entry count,
   the central directory's size and absolute offset, preceded, when the
   count is over 65,535 or the size or offset does not fit 32 bits, by the
   Zip64 end record and its locator (at absolute offset end_offset, where
   these records start); the classic fields that overflow then hold 0xFFFF
   or 0xFFFFFFFF. Returns the byte count. */
std::uint32_t EncodeEndRecords(std::uint64_t entries, std::uint64_t directory_size,
                               std::uint64_t directory_offset, std::uint64_t end_offset,
                               std::uint8_t* out);
