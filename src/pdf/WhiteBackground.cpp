// Detects a page-sized rectangle filled in white on page 1, the background
// that would hide whatever is drawn beneath the page.

#include "pdf/PdfReading.h"
#include "pdf/TaskManager.h"

#include <qpdf/QPDFPageObjectHelper.hh>

#include <vector>

namespace quillary {

namespace {

class BackgroundScanner : public QPDFObjectHandle::ParserCallbacks {
public:
    bool found = false;

    void handleObject(QPDFObjectHandle object, size_t, size_t) override
    {
        if (!object.isOperator()) {
            operands.push_back(std::move(object));
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "re") {
            const double height = pop();
            const double width = pop();
            pop(); // y
            pop(); // x
            if (height > 800 && width > 500)
                pageRectangle = true;
        } else if (op == "k") {
            const double black = pop(), yellow = pop(), magenta = pop(), cyan = pop();
            if (black == 0 && yellow == 0 && magenta == 0 && cyan == 0)
                whiteFill = true;
        } else if (op == "sc") {
            const double c3 = pop(), c2 = pop(), c1 = pop();
            if (c1 == 1 && c2 == 1 && c3 == 1)
                whiteFill = true;
        } else if (op == "f") {
            if (pageRectangle && whiteFill) {
                found = true;
                // Once found it stays found; the rest of the stream cannot change it.
                terminateParsing();
            } else {
                pageRectangle = whiteFill = false;
            }
        } else if (op == "q" || op == "Q") {
            pageRectangle = whiteFill = false;
        }
        // Each operator consumes its operands, used or not.
        operands.clear();
    }

    void handleEOF() override {}

private:
    // Topmost operand as a number; a missing or non-numeric operand counts as 0.
    double pop()
    {
        if (operands.empty())
            return 0;
        QPDFObjectHandle top = std::move(operands.back());
        operands.pop_back();
        return top.isNumber() ? top.getNumericValue() : 0;
    }

    std::vector<QPDFObjectHandle> operands;
    bool pageRectangle = false;
    bool whiteFill = false;
};

} // namespace

bool TaskManager::hasWhiteBackground(const QString& path)
{
    BackgroundScanner scanner;
    try {
        auto pdf = openPdf(path);
        auto page = PageTreeHelper(*pdf).firstPage();
        if (!page)
            return false;
        // Only the page's own content streams; forms it draws are not entered.
        page->parseContents(&scanner);
    } catch (const std::exception&) {
        // Unreadable file: false. A stream damaged after a white page fill
        // still counts what was read before the damage.
    }
    return scanner.found;
}

} // namespace quillary
