#include "console/MeterFacts.h"

#include <cmath>
#include <type_traits>

#include "service/JsonText.h"
#include "service/UtcTime.h"

namespace {

// The meter pads its text fields with spaces; they are no part of the value.
std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

}  // namespace

template <typename T>
void MeterFacts::Take(std::optional<T>& field, const T& value) {
    // A value that is no number says nothing about the meter (and never equals itself).
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return;
    }
    if (field && *field == value) return;
    if (field) ++m_changes;
    field = value;
    ++m_version;
}

template <typename T>
void MeterFacts::Forget(std::optional<T>& field) {
    field.reset();
    // A write changes the meter whether or not its old value was known.
    ++m_changes;
    ++m_version;
}

void MeterFacts::NewMeter(std::string port, qtm::CommMode link) {
    m_now = Known();
    m_now.port = std::move(port);
    m_now.link = link == qtm::CommMode::Rs485 ? "rs485" : "usb";
    ++m_changes;
    ++m_version;
}

void MeterFacts::TakeAddress(int address) {
    Take(m_now.address, address);
}

void MeterFacts::TakeModel(std::string_view model) {
    const std::string text = Trimmed(model);
    if (!text.empty()) Take(m_now.model, text);
}

void MeterFacts::TakeIdentity(const qtm::IdentityRead& read) {
    auto text = [&](const std::optional<std::string>& value, const char* name,
                    std::optional<std::string>& field) {
        if (!value || !read.Whole(name)) return;
        if (const std::string trimmed = Trimmed(*value); !trimmed.empty()) Take(field, trimmed);
    };
    text(read.serialNumber, "serial number", m_now.serial);
    text(read.band, "band", m_now.band);
    text(read.range, "range", m_now.range);
    if (read.calValue && read.Whole("calibration value")) Take(m_now.cal, *read.calValue);
    if (read.saveGap && read.Whole("save interval")) Take(m_now.saveGap, *read.saveGap);
    if (read.k && read.Whole("K")) Take(m_now.k, *read.k);
}

void MeterFacts::TakeBusIdentity(const qtm::BusIdentity& identity) {
    Take(m_now.serial, qtm::FormatBusSerialNumber(identity.serialNumber));
    TakeModel(identity.model);
}

void MeterFacts::TakeBusSettings(float cal, float k, float calK) {
    Take(m_now.cal, cal);
    Take(m_now.k, k);
    Take(m_now.calK, calK);
}

void MeterFacts::Written(std::string_view parameter) {
    if (parameter == "model") return Forget(m_now.model);
    if (parameter == "sn") return Forget(m_now.serial);
    if (parameter == "band") return Forget(m_now.band);
    if (parameter == "range") return Forget(m_now.range);
    if (parameter == "cal") return Forget(m_now.cal);
    if (parameter == "k") return Forget(m_now.k);
    if (parameter == "calk") return Forget(m_now.calK);
    if (parameter == "savetime") return Forget(m_now.saveGap);
    if (parameter == "addr") return Forget(m_now.address);
    // Zero calibration, fitting, the polynomial, erasing: none is in the metadata, but the
    // readings taken before them were taken under other settings.
    ++m_changes;
    ++m_version;
}

void MeterFacts::ForgetSettings() {
    const Known before = m_now;
    m_now = Known();
    m_now.port = before.port;
    m_now.link = before.link;
    m_now.address = before.address;
    ++m_changes;
    ++m_version;
}

void MeterFacts::ReadingTaken() {
    m_hasReadings = true;
    // Copied only when something changed: a run's passes mostly find all as it was.
    if (m_versionAtReading == m_version && m_changesAtReading == m_changes) return;
    m_atReading = m_now;
    m_versionAtReading = m_version;
    m_changesAtReading = m_changes;
}

void MeterFacts::ReadingsCleared() {
    m_hasReadings = false;
}

const MeterFacts::Known& MeterFacts::ForReadings() const {
    if (!m_hasReadings || m_changesAtReading == m_changes) return m_now;
    return m_atReading;
}

qtm::LogMetadata DetailedMetadata(const MeterFacts::Known& meter, std::string_view version,
                                  std::chrono::system_clock::time_point saved) {
    qtm::LogMetadata m;
    m.Add("program", "qtm200debug").Add("version", version);
    m.Add("saved", qtm::UtcIsoMillis(saved)).Add("port", meter.port).Add("link", meter.link);
    if (meter.link == "rs485" && meter.address) m.Add("address", std::to_string(*meter.address));
    auto text = [&m](const char* key, const std::optional<std::string>& value) {
        if (value) m.Add(key, *value);
    };
    auto number = [&m](const char* key, const std::optional<float>& value) {
        if (value) m.Add(key, qtm::JsonNumber(*value));
    };
    text("serial", meter.serial);
    text("model", meter.model);
    text("band", meter.band);
    text("range", meter.range);
    number("cal", meter.cal);
    number("k", meter.k);
    if (meter.saveGap) m.Add("savetime", std::to_string(*meter.saveGap));
    number("calk", meter.calK);
    return m;
}
