// The link to one meter: the USB command set, the RS-485 register transactions and
// the port list. All meter traffic of the program passes through one MeterLink; one
// exchange or transaction runs at a time, the others wait their turn.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/CRS485Serial.h"
#include "device/PortError.h"
#include "device/PortTransport.h"
#include "device/Serial.h"
#include "device/VkFrame.h"

namespace qtm {

enum class DeviceType : std::int32_t { Qtx200 = 0, Qtm300 = 1 };
enum class CommMode : std::int32_t { Usb = 0, Rs485 = 1 };

// The five bytes of a memory-usage reply; the first two are the page count.
struct MemoryUsage {
    std::array<std::uint8_t, 5> bytes{};
    std::uint16_t Pages() const { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }
};

class MeterLink {
public:
    using MessageSink = std::function<void(const std::string&)>;

    static constexpr int kUsbBaudRate = 115200;
    static constexpr std::size_t kFitDataCapacity = 5100;
    static constexpr std::size_t kInfoBlockBytes = 90;

    MeterLink();
    // Uses transports from factory for both ports (tests put a double here).
    explicit MeterLink(TransportFactory factory);
    ~MeterLink();
    MeterLink(const MeterLink&) = delete;
    MeterLink& operator=(const MeterLink&) = delete;

    // Where "Open the %s port failed!" and "Can't create event object!" go. The latter
    // comes from the RS-485 watch thread. Default: nowhere.
    void SetMessageSink(MessageSink sink);

    // Holds the link for a sequence of commands that must not be interleaved with
    // another thread's (the commands themselves take the same lock again).
    [[nodiscard]] std::unique_lock<std::recursive_mutex> LockSequence() {
        return std::unique_lock<std::recursive_mutex>(m_mutex);
    }

    DeviceType GetDeviceType() const { return m_eDeviceType.load(); }
    void SetDeviceType(DeviceType type) { m_eDeviceType.store(type); }
    CommMode GetCommMode() const { return m_eCommMode.load(); }
    void SetCommMode(CommMode mode) { m_eCommMode.store(mode); }
    std::string PortName() const;
    void SetPortName(const std::string& portName);
    int SavedPortIndex() const { return m_nSavedPortIndex.load(); }
    void SetSavedPortIndex(int index) { m_nSavedPortIndex.store(index); }

    // Why the last failed open of either port failed (kind None after a good open).
    PortError LastOpenError() const;

    // ---- USB link ----
    // The common exchange: close a leftover handle, open the port at 115200, write the
    // request whole, then up to `attempts` times sleep pauseMs and read until
    // replyLength bytes are in (a read that fails or brings nothing ends the attempt).
    // reply is resized to replyLength and zeroed before the wait, so a missing or short
    // reply leaves zeros. Returns successCode when the request went out, -1 when the
    // port could not be opened or the request was not written whole. When complete is
    // given it tells whether an attempt collected the whole reply (a caller whose result
    // hangs on one reply, like the live power read, needs to know).
    int ExchangeFrame(const Bytes& request, std::size_t replyLength, int attempts, int pauseMs,
                      Bytes& reply, int successCode = 1, bool* complete = nullptr);
    // Whether any reply byte came back in the last USB exchange (a write's success is
    // judged by it: a meter that answers nothing has not taken the value). Hold
    // LockSequence() around the exchange and this query when other threads use the link.
    bool LastReplyHeard() const { return m_bLastReplyHeard.load(); }
    // Whether the last USB exchange brought its whole reply, and, for a "VK" request, one
    // that starts with "VK" as every meter reply does. Only such a reply is taken for a
    // meter value in a backup, a comparison, the CLI's output or a reading: the USB
    // protocol has no checksum, so the length and the magic are all there is to go by.
    // The fitting-data stream, which has no fixed length, counts as whole once any byte
    // came. Query under LockSequence() with the exchange, as LastReplyHeard().
    bool LastReplyWhole() const { return m_bLastReplyWhole.load(); }
    // Closes the USB handle if one is open (switching to RS-485 does this).
    void CloseUsbPort();

    // Finds the port where a meter answers the identification (10 rounds over the port
    // list). 0 and the model text (UTF-8) when found; the port becomes PortName().
    // -1 otherwise, with model and PortName() unchanged.
    int FindMeter(std::string& model);
    // Reads return 1 when the request went out (values cleared when no reply came),
    // -1 when the port could not be opened or the request not written whole.
    int ReadSerialNumber();
    int ReadBand();
    int ReadRange();
    int ReadCalValue(float& value);
    int ReadSaveGap(std::int32_t& seconds);
    int ReadCoefficientK(float& value);
    // complete (when given) tells whether the whole reply arrived: a count that never came
    // reads as 0, which must not pass for an empty memory.
    int ReadMemoryUsage(MemoryUsage& usage, bool* complete = nullptr);
    // The raw fitting-data stream, at most 5100 bytes; FitDataCount() is its length.
    int ReadFitData(Bytes& data);
    // The "QTM300" information block, zero bytes replaced by spaces.
    int ReadInfoBlock(std::array<std::uint8_t, kInfoBlockBytes>& block);
    // Writes and actions return 0 when the request went out, -1 otherwise. Texts are
    // the meter's bytes (GBK, see EncodeMeterText), sent as fixed-width fields (10 bytes for
    // model and serial number, 12 for band and range), cut or padded with spaces.
    int WriteModel(std::string_view bytes);
    int WriteSerialNumber(std::string_view bytes);
    int WriteBand(std::string_view bytes);
    int WriteRange(std::string_view bytes);
    int SetFitState(std::uint8_t code);
    int WriteFormula(double c0, double c1, double c2, double c3, double c4);

    std::string SerialNumber() const;
    std::string Band() const;
    std::string Range() const;
    // The same texts as the meter sent their bytes (TrimMeterField): what a backup keeps.
    std::string SerialNumberBytes() const;
    std::string BandBytes() const;
    std::string RangeBytes() const;
    int FitDataCount() const { return m_nFitDataCount.load(); }

    // ---- RS-485 link ----
    // 0 when the port opened (closing it first if open), -1 with the message
    // "Open the <port> port failed!" otherwise.
    int OpenBusPort(const std::string& portName, int baudRate);
    void CloseBusPort();
    // Opens the bus port last opened again, at its baud rate, without a message: for a
    // measurement that waits for an unplugged adapter to come back. 0 when it opened.
    int ReopenBusPort();
    bool BusPortOpen() const { return m_rs485.IsOpen(); }
    // True once the open RS-485 port itself failed (unplugged, hung up).
    bool BusPortFailed() const { return m_rs485.PortFailed(); }
    // The register transactions of the RS-485 port, under the link's lock.
    int ReadHoldingRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                             std::span<std::uint8_t> data, int* byteCount = nullptr);
    int WriteMultipleRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count,
                               std::uint8_t byteCount, std::span<const std::uint8_t> data);
    // 18 registers from 0xE013: 1 with the 36 bytes copied out, -1 with block unchanged.
    int ReadLiveBlock(std::array<std::uint8_t, 36>& block, std::uint8_t address);
    // The RS-485 port itself, for status (poll counts, watch thread).
    const CRS485Serial& Bus() const { return m_rs485; }

    // ---- Port list ----
    // System ports (sysfs), then the ports added by the caller, then the simulator's.
    void EnumeratePorts();
    void AddExtraPort(const std::string& path);
    void ClearExtraPorts();
    void SetSimulatorPort(const std::string& path);  // empty: none
    std::string SimulatorPort() const;
    void SetSystemPortsEnabled(bool enabled);
    void SetSysfsRoot(const std::string& ttyRoot);
    int PortCount() const;
    // The digit that the last listed name ending in a single digit ends with (-1 = none yet).
    int LastPortDigit() const;
    std::vector<std::string> PortList() const;

private:
    int ExchangeLocked(const Bytes& request, std::size_t replyLength, int attempts, int pauseMs,
                       Bytes& reply, int successCode, bool* complete = nullptr);
    // Steps shared by the exchanges: close, open, write whole. False when it failed.
    bool OpenAndWrite(const Bytes& request);
    // Up to attempts times: sleep pauseMs, read from the start of buffer until length
    // bytes are in. True when an attempt collected them all.
    // received (when given) is the most bytes any attempt collected.
    bool AwaitReply(std::uint8_t* buffer, std::size_t length, int attempts, int pauseMs,
                    std::size_t* received = nullptr);
    int ReadCountedText(std::uint8_t code, int headerAttempts, int headerPauseMs, int bodyAdjust,
                        std::string& target, std::string& targetBytes);
    int WriteText(std::uint8_t code, std::uint16_t lengthField, std::string_view bytes,
                  std::size_t width);
    int ReadFourBytes(std::uint8_t code, Bytes& reply);
    void RecordOpenError(const PortError& error);

    // Held for a whole exchange or transaction.
    mutable std::recursive_mutex m_mutex;
    // Guards the names, texts and port list below, so that reading them never waits
    // for a running exchange.
    mutable std::mutex m_stateMutex;

    std::string m_strPortName;
    Serial m_serial;
    CRS485Serial m_rs485;
    std::atomic<int> m_nSavedPortIndex{0};
    std::atomic<int> m_nFitDataCount{0};
    std::atomic<bool> m_bLastReplyHeard{false};
    std::atomic<bool> m_bLastReplyWhole{false};
    std::atomic<DeviceType> m_eDeviceType{DeviceType::Qtx200};
    std::atomic<CommMode> m_eCommMode{CommMode::Usb};
    std::string m_strSN;
    std::string m_strBand;
    std::string m_strRange;
    std::string m_strSNBytes;
    std::string m_strBandBytes;
    std::string m_strRangeBytes;
    int m_nPortCount = 0;
    int m_nLastPortDigit = -1;
    std::vector<std::string> m_portList;

    std::vector<std::string> m_extraPorts;
    std::string m_simulatorPort;
    bool m_bSystemPorts = true;
    std::string m_sysfsRoot;
    MessageSink m_sink;
    PortError m_lastOpenError;
};

}  // namespace qtm
