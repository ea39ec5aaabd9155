// The backend's job input as cupsd hands it over, on arbitrary bytes: the
// input split at NUL bytes gives the job id, the user name, the title, the
// copies, the options, the device URI, the spool limits file's text and the
// first bytes of the document. Whatever passes must be safe to use: a job
// file name that stays in its folder, a spool root without "..", a document
// start that holds a PDF header, limits that limit.

#include "printer/backend/JobName.h"
#include "printer/backend/JobRequest.h"
#include "printer/backend/SpoolLimits.h"
#include "printer/backend/SpoolWriter.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

using namespace quillary::printer;

// The backend is plain C++ without Qt, and so is its target.
#define FUZZ_CHECK(condition)                                                                              \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);           \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (0)

namespace {

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing past U+10FFFF.
bool isValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size())
            return false;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (fields.size() < 7) {
        const std::size_t end = bytes.find('\0', start);
        if (end == std::string_view::npos)
            break;
        fields.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    const std::string_view document = start <= bytes.size() ? bytes.substr(start) : std::string_view();
    fields.resize(7);
    const std::string& uri = fields[5];
    const std::string& limitsText = fields[6];

    // Six arguments: the document on standard input; seven with a file.
    const bool withFile = !fields[3].empty() && (fields[3][0] & 1);
    std::vector<const char*> argv{"quillary"};
    for (int i = 0; i < 5; ++i)
        argv.push_back(fields[i].c_str());
    if (withFile)
        argv.push_back("/nonexistent/d00001-001");
    std::string reason;
    const std::optional<JobRequest> job = parseJobRequest(int(argv.size()), argv.data(), &reason);
    if (!job) {
        FUZZ_CHECK(!reason.empty());
    } else {
        FUZZ_CHECK(!job->jobId.empty() && job->jobId.size() <= 18);
        for (char c : job->jobId)
            FUZZ_CHECK(c >= '0' && c <= '9');
        FUZZ_CHECK(!job->user.empty());
        FUZZ_CHECK(job->file.has_value() == withFile);

        for (int attempt : {1, 2, 100}) {
            const std::string name = jobFileName(job->title, job->jobId, attempt);
            FUZZ_CHECK(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
            FUZZ_CHECK(name.front() != '.' && name.size() < 255 && name.ends_with(".pdf"));
            FUZZ_CHECK(name.starts_with(job->jobId + '-'));
            FUZZ_CHECK(isValidUtf8(name));
            for (unsigned char c : name)
                FUZZ_CHECK(c >= 0x20 && c != 0x7f);
        }
        if (const std::optional<std::string> host = optionValue(job->options, "job-originating-host-name"))
            (void)isLocalHost(*host);
        (void)optionValue(job->options, "job-uuid");
    }

    if (const std::optional<std::string> root = spoolRootFromUri(uri)) {
        FUZZ_CHECK(root->front() == '/');
        const std::string padded = *root + '/';
        FUZZ_CHECK(padded.find("/../") == std::string::npos && padded.find("/./") == std::string::npos);
        FUZZ_CHECK(root->find_first_of("?#") == std::string::npos && root->find('\0') == std::string::npos);
    }

    std::vector<std::string> warnings;
    const SpoolLimits limits = parseSpoolLimits(limitsText, &warnings);
    FUZZ_CHECK(limits.maxJobBytes > 0 && limits.userMaxJobs > 0 && limits.userMaxBytes > 0);
    FUZZ_CHECK(limits.maxJobAgeDays >= 1 && limits.maxJobAgeDays <= 36500);
    for (const std::string& warning : warnings)
        FUZZ_CHECK(warning.starts_with("line ") && warning.find('\n') == std::string::npos && warning.size() < 200);

    // The document's start, read from a descriptor as the backend reads it.
    const int fd = ::memfd_create("document", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, document.data(), document.size()) == ssize_t(document.size()));
    FUZZ_CHECK(::lseek(fd, 0, SEEK_SET) == 0);
    std::vector<char> head;
    const Outcome outcome = readDocumentStart(fd, head, nullptr);
    ::close(fd);
    FUZZ_CHECK(head.size() <= 1024 && head.size() == std::min<std::size_t>(document.size(), 1024));
    const bool hasHeader = std::string_view(head.data(), head.size()).find("%PDF-") != std::string_view::npos;
    FUZZ_CHECK(outcome.ok() == hasHeader);
    return 0;
}
