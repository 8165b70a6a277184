// The fixed messages of the result codes.
#include "zip_archive.h"

namespace {

struct ResultText {
    ZipResult code;
    const char* text;
};

const ResultText kResultTexts[] = {
    {ZipResult::Success, "Success"},
    {ZipResult::DuplicateFailed, "Culdn't duplicate handle"},
    {ZipResult::OpenFailed, "Couldn't create/open file"},
    {ZipResult::NoMemory, "Failed to allocate memory"},
    {ZipResult::WriteFailed, "Error writing to file"},
    {ZipResult::EntryNotFound, "File not found in the zipfile"},
    {ZipResult::MoreData, "Still more data to unzip"},
    {ZipResult::NotAZip, "Zipfile is corrupt or not a zipfile"},
    {ZipResult::ReadFailed, "Error reading file"},
    {ZipResult::BadArguments, "Caller: faulty arguments"},
    {ZipResult::NotMemoryArchive, "Caller: can only get memory of a memory zipfile"},
    {ZipResult::MemoryTooSmall, "Caller: not enough space allocated for memory zipfile"},
    {ZipResult::PreviousError, "Caller: there was a previous error"},
    {ZipResult::AlreadyEnded, "Caller: additions to the zip have already been ended"},
    {ZipResult::SizeMismatch, "Zip-bug: the anticipated size turned out wrong"},
    {ZipResult::PartlyUnzipped, "Caller: the file had already been partially unzipped"},
    {ZipResult::WrongHandleKind, "Caller: mixing creation and opening of zip"},
    {ZipResult::NotInitialised, "Zip-bug: internal initialisation not completed"},
    {ZipResult::NotSeekable, "Zip-bug: trying to seek the unseekable"},
    {ZipResult::MindChanged, "Zip-bug: tried to change mind, but not allowed"},
    {ZipResult::DeflateFault, "Zip-bug: an internal error during flation"},
};

const char* const kUnknownText = "unknown zip result code";

} // namespace

std::uint32_t ZipResultText(std::uint32_t code, char* buffer, std::uint32_t size) {
    if (code == static_cast<std::uint32_t>(ZipResult::MostRecent)) {
        code = static_cast<std::uint32_t>(ZipLastResult);
    }
    const char* text = kUnknownText;
    for (const ResultText& entry : kResultTexts) {
        if (static_cast<std::uint32_t>(entry.code) == code) {
            text = entry.text;
            break;
        }
    }
    std::uint32_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    if (buffer != nullptr && size != 0) {
        std::uint32_t copied = length < size ? length : size - 1;
        for (std::uint32_t i = 0; i < copied; ++i) {
            buffer[i] = text[i];
        }
        buffer[copied] = '\0';
    }
    return length;
}
