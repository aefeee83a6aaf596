#include "shell/startupcheck.h"

#include "instrument/protocol.h"

namespace lumo {

StartupStatus StartupCheck::identify()
{
    StartupStatus s;
    if (!m_instrument || !m_instrument->attached()) {
        s.message = QString::fromUtf8("L.U.M.O.並未啟動！請檢查電源是否開啟，USB連線是否正常。");
        s.serial = QStringLiteral("None!");
        s.hardware = QStringLiteral("None!");
        s.accessRefused = m_instrument && m_instrument->accessRefused();
        return s;
    }
    s.hardware = m_instrument->hardwareVersion();
    if (s.hardware.isEmpty()) {
        s.hardware = QStringLiteral("USB Status Error!");
        s.message = QString::fromUtf8("USB介面異常！請檢查L.U.M.O.的USB連線。");
        return s;
    }
    m_instrument->EndMeasuring();
    s.model = protocol::modelNumberOfCode(m_instrument->QueryModel());
    if (s.model == 0) {
        s.message = QString::fromUtf8("L.U.M.O.連線異常！請檢查L.U.M.O.的USB連線。");
        return s;
    }
    s.serial = m_instrument->ReadSerialText();
    s.ready = true;
    return s;
}

void StartupCheck::runSequence(const StartupStatus& status, const std::function<void(int, int, bool)>& progress)
{
    int group = 0;
    for (const auto& m : protocol::models())
        if (m.number == status.model) group = m.lampGroup;
    bool pending[3] = {true, true, true};
    const qint64 t0 = m_clock.nowMs();
    for (qint64 e = 0; e <= SequenceMs; e = m_clock.nowMs() - t0) {
        const int bar = int(e);
        int lamps = 1;
        for (int mark : {200, 400, 600, 800, 1000, 1200})
            if (bar > mark) ++lamps;
        if (progress) progress(bar, lamps, bar > 300 && bar < 400);
        if (status.ready && m_instrument) {
            auto send = [&](int step, std::initializer_list<const char*> commands) {
                if (!pending[step]) return;
                pending[step] = false;
                for (const char* c : commands) m_instrument->SendCommand(c);
            };
            if (bar < 400)
                send(0, {"AFFFFFF"});
            else if (bar < 800)
                group == 1 ? send(1, {"A000000", "BFFFFFF"}) : send(1, {"A000000", "IFFFFFF"});
            else
                group == 1 ? send(2, {"B000000", "IFFFFFF"}) : send(2, {"AFFFFFF", "IFFFFFF"});
        }
        m_clock.waitEvents(10);
    }
}

} // namespace lumo
