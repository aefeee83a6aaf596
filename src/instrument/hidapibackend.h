#pragma once
// The real instrument through hidapi (hidraw backend).

#include "instrument/transport.h"

namespace lumo {

class HidapiBackend : public HidBackend
{
public:
    HidapiBackend();
    ~HidapiBackend() override;
    bool available() const override { return m_ok; }
    QVector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidTransport> open(const HidInterfaceInfo& info) override;

private:
    bool m_ok = false;
};

// Input and output report lengths (with the report-id byte) from a HID report
// descriptor: the largest report of each kind. {0, 0} when none is declared.
struct ReportLengths
{
    int input = 0;
    int output = 0;
};
ReportLengths reportLengthsFromDescriptor(const QByteArray& descriptor);

} // namespace lumo
