// One entry's header fields and their byte layouts: local header, data
// descriptor, central header and the end record. Little-endian throughout.
#pragma once

#include <cstdint>

#include "zip_entry_name.h"

constexpr std::uint32_t kLocalHeaderSize = 30;
constexpr std::uint32_t kLocalExtraSize = 17;
constexpr std::uint32_t kCentralHeaderSize = 46;
constexpr std::uint32_t kCentralExtraSize = 9;
constexpr std::uint32_t kDataDescriptorSize = 16;
constexpr std::uint32_t kEndRecordSize = 22;

constexpr std::uint16_t kVersionMadeBy = 0x0B17; // 2.3, host system 11
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kFlagDescriptor = 8;    // sizes and CRC follow the data
constexpr std::uint16_t kFlagUtf8Name = 0x0800; // the name is UTF-8

// Largest local header with its name and extra field.
constexpr std::uint32_t kLocalHeaderCapacity =
    kLocalHeaderSize + kZipNameCapacity + kLocalExtraSize;
constexpr std::uint32_t kCentralHeaderCapacity =
    kCentralHeaderSize + kZipNameCapacity + kCentralExtraSize;

struct ZipEntryRecord {
    std::uint16_t version_made_by = kVersionMadeBy;
    std::uint16_t version_needed = kVersionNeeded;
    std::uint16_t flags = kFlagDescriptor;
    std::uint16_t method = 0;
    std::uint32_t dos_date_time = 0; // date in the upper 16 bits
    std::uint32_t crc = 0;
    std::uint32_t compressed_size = 0;
    std::uint32_t uncompressed_size = 0;
    std::uint16_t name_length = 0;
    std::uint16_t local_extra_length = kLocalExtraSize;
    std::uint16_t central_extra_length = kCentralExtraSize;
    std::uint16_t comment_length = 0;
    std::uint16_t disk_number_start = 0;
    std::uint16_t internal_attributes = 0;
    std::uint16_t local_flags = kFlagDescriptor;
    std::uint32_t external_attributes = 0;
    std::uint32_t local_header_offset = 0; // absolute in the output
    std::uint8_t local_extra[kLocalExtraSize] = {};
    std::uint8_t central_extra[kCentralExtraSize] = {};
    char name[kZipNameCapacity] = {};
};

/* Fills both extended-timestamp fields (tag 0x5455, flags 7) of record with
   the modification, access and creation times. */
void SetTimestampFields(ZipEntryRecord& record, std::uint32_t modified, std::uint32_t accessed,
                        std::uint32_t created);

/* Encodes the local header with name and extra field into out (at least
   kLocalHeaderCapacity bytes); returns the byte count. */
std::uint32_t EncodeLocalHeader(const ZipEntryRecord& record, std::uint8_t* out);

/* Encodes the 16-byte data descriptor into out. */
void EncodeDataDescriptor(const ZipEntryRecord& record, std::uint8_t* out);

/* Encodes the central header with name and extra field into out (at least
   kCentralHeaderCapacity bytes); returns the byte count. */
std::uint32_t EncodeCentralHeader(const ZipEntryRecord& record, std::uint8_t* out);

/* Encodes the 22-byte end record: entry count (both counts, 16 bits), the
   central directory's size and absolute offset. */
void EncodeEndRecord(std::uint32_t entries, std::uint32_t directory_size,
                     std::uint32_t directory_offset, std::uint8_t* out);
