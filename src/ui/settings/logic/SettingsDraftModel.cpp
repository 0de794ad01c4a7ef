#include "ui/settings/logic/SettingsDraftModel.h"

namespace {

// Every field the form edits (the website-bridge origin is only read).
using D = NativeSettingsDraft;
constexpr D::TextField kEditedTexts[] = {
    &D::remoteAccessToken, &D::userDisplayName, &D::userAliases,   &D::wechatSource,  &D::wechatDataRoot,
    &D::wechatAllowlist,   &D::wecomSource,     &D::wecomRuleMode, &D::wecomDataRoot, &D::wecomAllowlist,
    &D::keywords,          &D::excludeKeywords, &D::aiProvider,    &D::aiModel,       &D::aiBaseURL,
    &D::aiAPIKey,          &D::aiAPIKeyEnv};
constexpr D::FlagField kEditedFlags[] = {&D::notifyTodosAndMentions, &D::wechatEnabled, &D::wecomEnabled,
                                         &D::aiEnabled};

} // namespace

SettingsDraftModel::SettingsDraftModel(QObject* parent) : QObject(parent) {}

void SettingsDraftModel::load(const std::optional<BridgeStateResponse>& state)
{
    if (!state)
        return;
    m_draft.load(state);
    m_saved = m_draft;
    emit changed();
}

int SettingsDraftModel::unsavedCount() const
{
    int count = 0;
    for (D::TextField field : kEditedTexts)
        count += isUnsaved(field) ? 1 : 0;
    for (D::FlagField field : kEditedFlags)
        count += isUnsaved(field) ? 1 : 0;
    return count;
}

void SettingsDraftModel::markSaved(const NativeSettingsDraft& sent)
{
    m_saved = sent;
    emit changed();
}

void SettingsDraftModel::loadIfClean(const std::optional<BridgeStateResponse>& state)
{
    if (!m_draft.isDirty)
        load(state);
}

void SettingsDraftModel::setText(NativeSettingsDraft::TextField field, const QString& value)
{
    if (m_draft.setText(field, value))
        emit changed();
}

void SettingsDraftModel::setFlag(NativeSettingsDraft::FlagField field, bool value)
{
    if (m_draft.setFlag(field, value))
        emit changed();
}
