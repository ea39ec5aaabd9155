#include "printer/backend/QueueSharing.h"

#include <cups/cups.h>

namespace quillary::printer {

bool queueIsShared(const char* printer)
{
    if (!printer || !*printer)
        return false;
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
    if (!http)
        return false;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s", printer);
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-is-shared");
    ipp_t* response = cupsDoRequest(http, request, "/"); // frees the request
    bool shared = false;
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        ipp_attribute_t* attribute = ippFindAttribute(response, "printer-is-shared", IPP_TAG_BOOLEAN);
        shared = attribute && ippGetBoolean(attribute, 0);
    }
    ippDelete(response);
    httpClose(http);
    return shared;
}

} // namespace quillary::printer
