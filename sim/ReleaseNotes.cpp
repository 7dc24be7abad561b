#include "sim/ReleaseNotes.h"

namespace sim {
namespace {

std::string fill(const std::string& pattern, const std::string& version) {
    std::string text = pattern;
    const std::size_t at = text.find("{v}");
    if (at != std::string::npos) {
        text.replace(at, 3, version);
    }
    return text;
}

}  // namespace

std::map<std::string, std::string> ReleaseNotes::byLanguage(const std::string& version) {
    static const std::map<std::string, std::string> kPatterns = {
        {"CHN", "版本 {v}：提高连接稳定性并改进电池电量显示。"},
        {"DEU", "Version {v}: verbessert die Verbindungsstabilität und die Akkuanzeige."},
        {"ESP", "Versión {v}: mejora la estabilidad de la conexión y el indicador de batería."},
        {"ESP_LAT", "Versión {v}: mejora la estabilidad de la conexión y el reporte de batería."},
        {"FRA", "Version {v} : améliore la stabilité de la connexion et l'indication de batterie."},
        {"ITA",
         "Versione {v}: migliora la stabilità della connessione e l'indicatore della batteria."},
        {"JPN", "バージョン {v}：接続の安定性とバッテリー表示を改善しました。"},
        {"NLD", "Versie {v}: verbetert de stabiliteit van de verbinding en de batterijweergave."},
        {"PRT", "Versão {v}: melhora a estabilidade da ligação e a indicação da bateria."},
        {"RUS", "Версия {v}: улучшена стабильность соединения и отображение заряда батареи."},
        {"TUR", "Sürüm {v}: bağlantı kararlılığını ve pil göstergesini iyileştirir."},
        {"TWN", "版本 {v}：提升連線穩定性並改善電池電量顯示。"},
        {"VNM", "Phiên bản {v}: cải thiện độ ổn định kết nối và hiển thị pin."},
        {"ENG", "Version {v}: improves connection stability and battery reporting."},
    };
    std::map<std::string, std::string> notes;
    for (const auto& [code, pattern] : kPatterns) {
        notes[code] = fill(pattern, version);
    }
    return notes;
}

std::string ReleaseNotes::korean(const std::string& version) {
    return fill("버전 {v}: 연결 안정성과 배터리 표시가 개선되었습니다.", version);
}

}  // namespace sim
