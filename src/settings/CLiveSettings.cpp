#include "settings/CLiveSettings.h"

namespace palaverly {

void CLiveSettings::LoadSettings(const std::string& logonName) {
    m_options.LoadSettings(m_store);
    m_info.LoadSettings(m_store);
    m_phrases.LoadSettings(m_store);
    m_station.LoadSettings(m_store, logonName);
}

const COptionValues& CLiveSettings::ReloadOptions() {
    return Reload(m_options);
}

const CInfoValues& CLiveSettings::ReloadInfo() {
    return Reload(m_info);
}

const CPhraseValues& CLiveSettings::ReloadPhrases() {
    return Reload(m_phrases);
}

int CLiveSettings::SaveOptions(const COptionValues& values) {
    return Save(m_options, values);
}

int CLiveSettings::SaveInfo(const CInfoValues& values) {
    return Save(m_info, values);
}

int CLiveSettings::SavePhrases(const CPhraseValues& values) {
    return Save(m_phrases, values);
}

int CLiveSettings::SavePlacement() {
    return m_station.m_windowPos
               ? m_store.WriteSetting("WindowPos", m_station.m_windowPos->Format())
               : 0;
}

} // namespace palaverly
