#include "ui/settings/logic/SettingsDraftModel.h"

SettingsDraftModel::SettingsDraftModel(QObject* parent) : QObject(parent) {}

void SettingsDraftModel::load(const std::optional<BridgeStateResponse>& state)
{
    if (!state)
        return;
    m_draft.load(state);
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
