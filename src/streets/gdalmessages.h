#pragma once

// GDAL's messages while the street data module works.

#include <cpl_error.h>

#include <string>

namespace vantry {

// Keeps GDAL's messages off the terminal while it works on this thread, so that a refusal is the
// one line we write, and keeps the first failure it reports: a driver says what went wrong first
// (a size limit, a damaged header) and only then that it could not go on.
class QuietErrors {
public:
    QuietErrors() {
        CPLPushErrorHandler(collect);
        reset();
    }
    ~QuietErrors() { CPLPopErrorHandler(); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

    // Forgets what was reported so far.
    static void reset() {
        first().clear();
        CPLErrorReset();
    }
    // Whether a failure was reported since the last reset.
    static bool failed() { return !first().empty() || CPLGetLastErrorType() >= CE_Failure; }
    // The first failure reported since the last reset, on one line, or the last message of any
    // kind, or the fallback.
    static std::string last(const std::string& fallback) {
        std::string text = first();
        if (text.empty()) {
            const char* lastText = CPLGetLastErrorMsg();
            text = lastText ? lastText : "";
        }
        for (char& c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        while (!text.empty() && (text.back() == ' ' || text.back() == '.'))
            text.pop_back();
        return text.empty() ? fallback : text;
    }

private:
    static std::string& first() {
        thread_local std::string text;
        return text;
    }
    static void CPL_STDCALL collect(CPLErr kind, CPLErrorNum, const char* message) {
        if (kind >= CE_Failure && first().empty() && message && *message)
            first() = message;
    }
};

} // namespace vantry
