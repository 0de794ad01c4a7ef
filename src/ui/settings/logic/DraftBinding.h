#pragma once

#include "ui/settings/logic/SettingsDraftModel.h"

#include <QPointer>
#include <type_traits>

// A two-way binding to one field of a view's draft: reading returns the field, writing a
// different value stores it and marks the draft dirty. DraftBinding<QString> is the text binding,
// DraftBinding<bool> the switch binding.
template <typename T> class DraftBinding
{
public:
    using Field = T NativeSettingsDraft::*;

    DraftBinding() = default;
    DraftBinding(SettingsDraftModel* model, Field field) : m_model(model), m_field(field) {}

    bool isValid() const { return m_model && m_field; }
    SettingsDraftModel* model() const { return m_model; }

    T get() const { return isValid() ? m_model->draft().*m_field : T{}; }
    // Whether the field differs from what was loaded or last saved.
    bool isUnsaved() const { return isValid() && m_model->isUnsaved(m_field); }
    void set(const T& value) const
    {
        if (!isValid())
            return;
        if constexpr (std::is_same_v<T, bool>)
            m_model->setFlag(m_field, value);
        else
            m_model->setText(m_field, value);
    }

private:
    QPointer<SettingsDraftModel> m_model;
    Field m_field = nullptr;
};

using TextBinding = DraftBinding<QString>;
using FlagBinding = DraftBinding<bool>;

inline TextBinding bindText(SettingsDraftModel* model, QString NativeSettingsDraft::*field)
{
    return TextBinding(model, field);
}

inline FlagBinding bindFlag(SettingsDraftModel* model, bool NativeSettingsDraft::*field)
{
    return FlagBinding(model, field);
}
