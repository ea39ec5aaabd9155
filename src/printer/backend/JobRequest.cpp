#include "printer/backend/JobRequest.h"

#include "printer/SpoolLayout.h"

#include <cups/cups.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace quillary::printer {

std::optional<JobRequest> parseJobRequest(int argc, const char* const* argv, std::string* reason)
{
    const auto fail = [&](const char* why) -> std::optional<JobRequest> {
        if (reason)
            *reason = why;
        return std::nullopt;
    };
    if (argc != 6 && argc != 7)
        return fail("Usage: quillary job-id user title copies options [file]");
    JobRequest job{argv[1], argv[2], argv[3], argv[5], std::nullopt};
    if (argc == 7)
        job.file = argv[6];
    if (job.jobId.empty() || job.jobId.size() > 18
        || !std::all_of(job.jobId.begin(), job.jobId.end(), [](unsigned char c) { return std::isdigit(c); }))
        return fail("the job id is not a number");
    if (job.user.empty())
        return fail("the job names no user");
    return job;
}

std::optional<std::string> optionValue(const std::string& options, const char* name)
{
    cups_option_t* parsed = nullptr;
    const int count = cupsParseOptions(options.c_str(), 0, &parsed);
    const char* value = cupsGetOption(name, count, parsed);
    std::optional<std::string> result;
    if (value)
        result = value;
    cupsFreeOptions(count, parsed);
    return result;
}

bool isLocalHost(std::string_view host)
{
    std::string lower(host);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "localhost" || lower == "localhost.localdomain" || lower == "::1" || lower == "[::1]"
        || lower == "[v1.::1]")
        return true;
    in_addr address{};
    if (inet_pton(AF_INET, lower.c_str(), &address) == 1)
        return (ntohl(address.s_addr) >> 24) == 127;
    return false;
}

std::optional<std::string> spoolRootFromUri(std::string_view uri)
{
    constexpr std::string_view scheme = "quillary:";
    if (!uri.starts_with(scheme))
        return std::nullopt;
    std::string_view path = uri.substr(scheme.size());
    if (path.starts_with("//"))
        path.remove_prefix(2); // "quillary://" has no host part to speak of
    if (path.empty() || path == "/")
        return std::string(kDefaultSpoolRoot);
    if (!path.starts_with('/'))
        return std::nullopt;
    std::string root(path);
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    std::istringstream parts(root);
    for (std::string part; std::getline(parts, part, '/');) {
        if (part == "." || part == "..")
            return std::nullopt;
    }
    if (root.find_first_of("?#") != std::string::npos)
        return std::nullopt;
    return root;
}

uid_t firstPersonUid(std::istream& loginDefs)
{
    uid_t first = 1000;
    for (std::string line; std::getline(loginDefs, line);) {
        std::istringstream words(line);
        std::string key;
        long value = 0;
        if (words >> key && key == "UID_MIN" && words >> value && value > 0)
            first = static_cast<uid_t>(value);
    }
    return first;
}

} // namespace quillary::printer
