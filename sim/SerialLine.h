#pragma once
// The simulator's end of the serial line: the master side of a new
// pseudo-terminal, or a tty device given by path; plus the optional symlink
// through which the tool finds it.

#include <QString>

namespace zir::sim {

// 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200: the rates the
// simulator can set a tty to and recognise on a pseudo-terminal.
bool IsStandardRate(int baud);

// Whether the line `fd` is set to `baud` (a standard rate). On the master
// side of a pseudo-terminal the settings read are those the tool's side
// was given.
bool LineRateIs(int fd, int baud);

class SerialLine {
public:
    // Creates a pseudo-terminal in raw mode. Throws std::runtime_error.
    static SerialLine OpenPseudoTerminal();
    // Opens a tty in raw mode, 8N1, no flow control, at `baud` when it is a
    // standard rate. Throws std::runtime_error.
    static SerialLine OpenDevice(const QString& path, int baud);

    SerialLine(SerialLine&& other) noexcept;
    SerialLine& operator=(SerialLine&&) = delete;
    SerialLine(const SerialLine&) = delete;
    ~SerialLine();

    int Fd() const { return fd_; }
    QString Path() const { return path_; } // what the tool opens

private:
    SerialLine(int fd, int keepOpenFd, QString path) : fd_(fd), keepOpenFd_(keepOpenFd), path_(std::move(path)) {}

    int fd_ = -1;
    // The simulator keeps the pseudo-terminal's tool side open too: without
    // it, the master reports a hang-up each time the tool closes the port
    // between commands.
    int keepOpenFd_ = -1;
    QString path_;
};

// A symlink at `linkPath` to `target`, made with its parent folders and
// removed again by the destructor if it still points there. Replaces an
// existing symlink; refuses to replace anything else (std::runtime_error).
class LineLink {
public:
    LineLink(const QString& linkPath, const QString& target);
    ~LineLink();
    LineLink(const LineLink&) = delete;
    LineLink& operator=(const LineLink&) = delete;

private:
    QString linkPath_;
    QString target_;
};

} // namespace zir::sim
