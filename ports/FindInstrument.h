#pragma once
// Looking for the instrument: every serial device at every rate the
// instrument can be set to, with the clock request, one short attempt each.
// The clock request only reads, so no setting of whatever answers changes.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "ports/SerialPorts.h"

namespace zir {

class IClock;
class ILineObserver;

// The rates of the instrument's exchange rate index 0..4, fastest first.
inline constexpr std::array<std::uint32_t, 5> kInstrumentSpeeds = {19200, 9600, 4800, 2400, 1200};
// Reply window of one attempt, and the silence that ends its read. At 1200
// baud the reply's first byte comes about 180 ms after the request was sent.
inline constexpr int kProbeWindowMs = 300;

class IFindObserver {
public:
    virtual ~IFindObserver() = default;
    // Before each attempt, while no port is open: the moment to show it and
    // to let the window's pending events run.
    virtual void Trying(const SerialPortEntry& port, std::uint32_t baud) = 0;
    // What came of an attempt, or why a device was passed over, in one line.
    virtual void Note(const QString& line) = 0;
    // Asked at the start of each attempt; true ends the search there.
    virtual bool StopRequested() = 0;
};

struct FindResult {
    std::optional<std::size_t> found; // index of the device that answered
    std::uint32_t baud = 0;           // at this rate
    bool stopped = false;             // the observer asked to stop
};

// Tries the present devices this user may open, in the order given, each at
// the rates of kInstrumentSpeeds, with the clock request to deviceAddress;
// ends at the first 27-byte clock reply. A device that cannot be opened or
// stops working is passed over with a note. Throws EFormatError for a
// malformed address before any port is opened.
// Every frame of the search and what came back go to lineObserver as well,
// when one is given (the line monitor).
FindResult FindInstrument(const std::vector<SerialPortEntry>& ports, const DeviceTree& tree,
                          const QString& deviceAddress, IFindObserver& observer, IClock& clock,
                          ILineObserver* lineObserver = nullptr);

} // namespace zir
