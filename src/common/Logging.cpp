#include "common/Logging.h"

Q_LOGGING_CATEGORY(lcModel, "razo.model", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApi, "razo.api", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCore, "razo.core", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStore, "razo.store", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "razo.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "razo.app", QtWarningMsg)
