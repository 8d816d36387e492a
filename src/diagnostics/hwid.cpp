#include "diagnostics/hwid.h"

#include <QCryptographicHash>
#include <QSysInfo>

namespace halvark::diagnostics {

QString compute_hwid(const QString& cpu_model, const QString& motherboard_serial,
                     const QString& root_volume_id, const QString& os_machine_id,
                     const QString& etc_machine_id) {
    QByteArray input;
    for (const QString* slot :
         {&cpu_model, &motherboard_serial, &root_volume_id, &os_machine_id, &etc_machine_id}) {
        input += slot->toUtf8();
    }
    if (input.isEmpty()) {
        input = QByteArrayLiteral("halvark_launcher_unknown_hwid_v2");
    }
    return QString::fromLatin1(
        QCryptographicHash::hash(input, QCryptographicHash::Sha256).toHex().toUpper());
}

QString current_hwid() {
    return compute_hwid(qEnvironmentVariable("PROCESSOR_IDENTIFIER"), QString(), QString(),
                        QString::fromUtf8(QSysInfo::machineUniqueId()), QString());
}

}  // namespace halvark::diagnostics
