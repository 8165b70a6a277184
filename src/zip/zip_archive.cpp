// The flat interface over ZipWriter: handle checks and ZipLastResult.
#include "zip_archive.h"

#include <new>

#include "file_layer.h"
#include "zip_writer.h"

ZipResult ZipLastResult = ZipResult::Success;

namespace {

ZipResult Remember(ZipResult result) {
    ZipLastResult = result;
    return result;
}

} // namespace

ZipHandle* ZipArchive::Create(const void* target, std::uint32_t size, ZipDataKind kind) {
    InitialiseTimeZone();
    ZipWriter* writer = new (std::nothrow) ZipWriter;
    if (writer == nullptr) {
        Remember(ZipResult::NoMemory);
        return nullptr;
    }
    ZipResult started = writer->Start(target, size, kind);
    if (started != ZipResult::Success) {
        delete writer;
        Remember(started);
        return nullptr;
    }
    ZipHandle* handle = new (std::nothrow) ZipHandle;
    if (handle == nullptr) {
        delete writer;
        Remember(ZipResult::NoMemory);
        return nullptr;
    }
    handle->archive = writer;
    Remember(ZipResult::Success);
    return handle;
}

ZipResult ZipArchive::AddFile(ZipHandle* handle, const char* name, const void* source,
                              std::uint32_t size, ZipDataKind kind) {
    if (handle == nullptr) {
        return Remember(ZipResult::BadArguments);
    }
    if (handle->kind != kZipHandleCreating) {
        return Remember(ZipResult::WrongHandleKind);
    }
    return Remember(handle->archive->Add(name, source, size, kind));
}

ZipResult ZipArchive::GetMemory(ZipHandle* handle, void** memory, std::uint32_t* length) {
    if (handle == nullptr) {
        if (memory != nullptr) {
            *memory = nullptr;
        }
        if (length != nullptr) {
            *length = 0;
        }
        return Remember(ZipResult::BadArguments);
    }
    if (handle->kind != kZipHandleCreating) {
        return Remember(ZipResult::WrongHandleKind);
    }
    ZipWriter& writer = *handle->archive;
    // A block without its central directory or end record is no archive:
    // the failure is the answer, as Close gives it.
    ZipResult ended = writer.End();
    if (memory != nullptr) {
        *memory = writer.MemoryBlock();
    }
    if (length != nullptr) {
        *length = writer.Length();
    }
    if (writer.MemoryBlock() == nullptr) {
        return Remember(ZipResult::NotMemoryArchive);
    }
    return Remember(ended);
}

ZipResult ZipArchive::Close(ZipHandle* handle) {
    if (handle == nullptr) {
        return Remember(ZipResult::BadArguments);
    }
    if (handle->kind != kZipHandleCreating) {
        return Remember(ZipResult::WrongHandleKind);
    }
    ZipResult ended = handle->archive->End();
    delete handle->archive;
    delete handle;
    return Remember(ended);
}
