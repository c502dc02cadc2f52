#include "core/SystemIo.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace zir {

QString SystemErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

int WriteWhole(int fd, QByteArrayView bytes) {
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<std::size_t>(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        left -= written;
    }
    return 0;
}

} // namespace zir
