#include "settings/CLiveSettings.h"

namespace palaverly {

void CLiveSettings::LoadSettings(const std::string& logonName) {
    m_options.LoadSettings(m_store);
    m_info.LoadSettings(m_store);
    m_phrases.LoadSettings(m_store);
    m_station.LoadSettings(m_store, logonName);
}

const COptionValues& CLiveSettings::ReloadOptions() {
    m_options.LoadSettings(m_store);
    return m_options;
}

const CInfoValues& CLiveSettings::ReloadInfo() {
    m_info.LoadSettings(m_store);
    return m_info;
}

const CPhraseValues& CLiveSettings::ReloadPhrases() {
    m_phrases.LoadSettings(m_store);
    return m_phrases;
}

int CLiveSettings::SaveOptions(const COptionValues& values) {
    m_options = values;
    return m_options.SaveSettings(m_store);
}

int CLiveSettings::SaveInfo(const CInfoValues& values) {
    m_info = values;
    return m_info.SaveSettings(m_store);
}

int CLiveSettings::SavePhrases(const CPhraseValues& values) {
    m_phrases = values;
    return m_phrases.SaveSettings(m_store);
}

int CLiveSettings::SavePlacement() {
    return m_station.m_windowPos
               ? m_store.WriteSetting("WindowPos", m_station.m_windowPos->Format())
               : 0;
}

} // namespace palaverly
