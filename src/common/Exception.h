#pragma once

#include <exception>
#include <string>

namespace kul
{

/** The library's exception. Every instance writes a report when it is built,
    whether or not it is ever thrown (see ReportException). */
class Exception : public std::exception
{
public:
    Exception (const std::string& message, const char* sourceFile, long line,
               bool withFileAndLine, bool exitAfterReport) noexcept;
    Exception (const std::exception& caught, const char* sourceFile, long line,
               bool withFileAndLine, bool exitAfterReport) noexcept;
    Exception (const Exception& caught, const char* sourceFile, long line,
               bool withFileAndLine, bool exitAfterReport) noexcept;

    Exception (const Exception&) = default;
    Exception& operator= (const Exception&) = default;
    ~Exception() override = default;

    const char* what() const noexcept override { return message.c_str(); }

    const std::string& GetFileName() const noexcept { return fileName; }
    const std::string& GetMessage() const noexcept { return message; }
    long GetLine() const noexcept { return line; }

    /** Builds the report text and posts it; ends the process with status 1 when asked. */
    void ReportException (bool withFileAndLine, bool exitAfterReport) const noexcept;

protected:
    std::string fileName;
    std::string message;
    long line = 0;
};

/** Thrown where a catch-all caught something that is neither std::bad_alloc nor a std::exception. */
class UnknownException : public Exception
{
public:
    UnknownException (const char* sourceFile, long line, bool withFileAndLine, bool exitAfterReport) noexcept;
    UnknownException (const UnknownException&) = default;
    ~UnknownException() override = default;
};

/** Rethrows the exception being handled so that only library exceptions leave: a
    std::exception becomes a kul::Exception with its what() text, anything else a
    kul::UnknownException, each reported with the given file and line. A
    kul::Exception passes unchanged or, with reRaiseLibraryExceptions, is raised
    again with the given file and line. Call only inside a catch block. */
[[noreturn]] void RethrowAsLibraryException (const char* sourceFile, long line, bool reRaiseLibraryExceptions);

/** Where reports go. By default each report is one system-log entry; a sink
    installed here receives the text instead (the tests read reports this way). */
using ReportSink = void (*) (const std::string& text);

/** Installs a sink (nullptr restores the system log) and returns the previous one. */
ReportSink SetReportSink (ReportSink sink) noexcept;

} // namespace kul

/** Writes the text and a line end as one report. */
void PostLineToConsole (const std::string& text);

/** Writes the text as one system-log entry (or to the installed report sink). */
void PostToConsole (const std::string& text);
