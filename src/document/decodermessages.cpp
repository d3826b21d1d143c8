#include "document/decodermessages.h"

#include <QString>
#include <QtGlobal>

#include <tiffio.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace vantry {

namespace {

thread_local DecoderMessages* decoderMessages = nullptr;
std::atomic<QtMessageHandler> earlierQtHandler = nullptr;
std::atomic<TIFFErrorHandler> earlierTiffError = nullptr;
std::atomic<TIFFErrorHandler> earlierTiffWarning = nullptr;
std::mutex handlersMutex;

void collectQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!decoderMessages) {
        if (const QtMessageHandler earlier = earlierQtHandler)
            earlier(type, context, text);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
        return;
    }
    if (text.contains(QLatin1String("out of memory")) ||
        text.contains(QLatin1String("allocation limit")))
        decoderMessages->outOfMemory = true;
    // Warnings are about the data; notes (libpng's about colour profiles) and debug output are not.
    // Stray bytes between two parts of a JPEG file are noted, but every pixel is still there.
    if ((type == QtWarningMsg || type == QtCriticalMsg) &&
        !text.contains(QLatin1String("extraneous bytes")))
        decoderMessages->warnings.push_back(text.toStdString());
}

void collectTiffError(const char* module, const char* format, va_list args) {
    if (!decoderMessages) {
        if (const TIFFErrorHandler earlier = earlierTiffError)
            earlier(module, format, args);
        return;
    }
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    decoderMessages->warnings.emplace_back(text);
}

void collectTiffWarning(const char* module, const char* format, va_list args) {
    // libtiff warns of tags it does not know and the like, none of which spoils a picture.
    if (const TIFFErrorHandler earlier = earlierTiffWarning; !decoderMessages && earlier)
        earlier(module, format, args);
}

} // namespace

CollectDecoderMessages::CollectDecoderMessages(DecoderMessages& messages)
    : outer_(decoderMessages) {
    // Whoever set a handler since the last picture (the command line's, libtiff's users
    // among the street data readers) keeps getting what is not a decoder's.
    std::lock_guard lock(handlersMutex);
    const QtMessageHandler qt = qInstallMessageHandler(collectQtMessage);
    if (qt != collectQtMessage)
        earlierQtHandler = qt;
    const TIFFErrorHandler error = TIFFSetErrorHandler(collectTiffError);
    if (error != collectTiffError)
        earlierTiffError = error;
    const TIFFErrorHandler warning = TIFFSetWarningHandler(collectTiffWarning);
    if (warning != collectTiffWarning)
        earlierTiffWarning = warning;
    decoderMessages = &messages;
}

CollectDecoderMessages::~CollectDecoderMessages() {
    decoderMessages = outer_;
}

} // namespace vantry
