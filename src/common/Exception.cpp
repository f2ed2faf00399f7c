#include "common/Exception.h"

#include "files/File.h"
#include "text/StringHelper.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <syslog.h>

namespace kul
{

namespace
{
std::atomic<ReportSink> reportSink { nullptr };

// A kul::File of the empty text would name the working directory, but an
// exception built without a source file must carry no file name at all.
std::string fileNameOf (const char* sourceFile)
{
    if (sourceFile == nullptr || *sourceFile == '\0')
        return {};

    return File (sourceFile).GetFileName();
}
} // namespace

Exception::Exception (const std::string& messageText, const char* sourceFile, long sourceLine,
                      bool withFileAndLine, bool exitAfterReport) noexcept
    : fileName (fileNameOf (sourceFile)),
      message (messageText),
      line (sourceLine)
{
    ReportException (withFileAndLine, exitAfterReport);
}

Exception::Exception (const std::exception& caught, const char* sourceFile, long sourceLine,
                      bool withFileAndLine, bool exitAfterReport) noexcept
    : fileName (fileNameOf (sourceFile)),
      message (caught.what()),
      line (sourceLine)
{
    ReportException (withFileAndLine, exitAfterReport);
}

Exception::Exception (const Exception& caught, const char* sourceFile, long sourceLine,
                      bool withFileAndLine, bool exitAfterReport) noexcept
    : fileName (fileNameOf (sourceFile)),
      message (caught.message),
      line (sourceLine)
{
    ReportException (withFileAndLine, exitAfterReport);
}

void Exception::ReportException (bool withFileAndLine, bool exitAfterReport) const noexcept
{
    std::string report;

    if (withFileAndLine)
        report = "Exception occured in file " + StringHelper::Quoted (fileName)
                 + " (line " + std::to_string (line) + "): \n" + message + "\n\n";
    else
        report = "Exception occured : " + message + "\n\n";

    PostLineToConsole (report);

    if (exitAfterReport)
        std::exit (1);
}

UnknownException::UnknownException (const char* sourceFile, long sourceLine,
                                    bool withFileAndLine, bool exitAfterReport) noexcept
    : Exception (std::string ("unknown exception"), sourceFile, sourceLine, withFileAndLine, exitAfterReport)
{
}

void RethrowAsLibraryException (const char* sourceFile, long line, bool reRaiseLibraryExceptions)
{
    try
    {
        throw;
    }
    catch (const Exception& e)
    {
        if (! reRaiseLibraryExceptions)
            throw;

        throw Exception (e, sourceFile, line, true, false);
    }
    catch (const std::exception& e)
    {
        throw Exception (e, sourceFile, line, true, false);
    }
    catch (...)
    {
        throw UnknownException (sourceFile, line, true, false);
    }
}

ReportSink SetReportSink (ReportSink sink) noexcept
{
    return reportSink.exchange (sink);
}

} // namespace kul

void PostLineToConsole (const std::string& text)
{
    PostToConsole (text + "\n");
}

void PostToConsole (const std::string& text)
{
    if (auto sink = kul::reportSink.load())
    {
        sink (text);
        return;
    }

    // openlog and closelog change process-wide state: two threads reporting at
    // once must not close each other's log or restore each other's mask.
    static std::mutex logLock;
    const std::lock_guard<std::mutex> lock (logLock);

    openlog ("kul", LOG_PID | LOG_CONS | LOG_NDELAY | LOG_PERROR, LOG_USER);
    const int previousMask = setlogmask (LOG_UPTO (LOG_NOTICE));
    syslog (LOG_NOTICE, "%s", text.c_str());
    closelog();
    setlogmask (previousMask);
}
