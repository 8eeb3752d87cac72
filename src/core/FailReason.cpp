#include "core/FailReason.h"

#include <QCoreApplication>

namespace zelvant {

bool PhoneFailure::isNetworkFault() const
{
    switch (reason) {
    case FailReason::NoConnection:
    case FailReason::TimeOut:
    case FailReason::TlsRefused:
        return true;
    case FailReason::HttpError:
        return httpStatus >= 500 && httpStatus <= 599;
    default:
        return false;
    }
}

QString PhoneFailure::text() const
{
    switch (reason) {
    case FailReason::None:
        return QString();
    case FailReason::NoConnection:
        return QCoreApplication::translate("zelvant::PhoneFailure", "нет соединения");
    case FailReason::TimeOut:
        return QCoreApplication::translate("zelvant::PhoneFailure", "истекло время ожидания");
    case FailReason::TlsRefused:
        return QCoreApplication::translate("zelvant::PhoneFailure", "сертификат TLS отклонён");
    case FailReason::HttpError:
        return QCoreApplication::translate("zelvant::PhoneFailure", "ошибка HTTP %1")
            .arg(httpStatus);
    case FailReason::NoBalance:
        return QCoreApplication::translate("zelvant::PhoneFailure", "нет баланса на странице");
    case FailReason::TooLarge:
        return QCoreApplication::translate("zelvant::PhoneFailure", "слишком большой ответ");
    case FailReason::NoNumber:
        return QCoreApplication::translate("zelvant::PhoneFailure", "пропущен: нет номера");
    case FailReason::NoPassword:
        return QCoreApplication::translate("zelvant::PhoneFailure", "пропущен: нет пароля");
    case FailReason::UnknownRegion:
        return QCoreApplication::translate("zelvant::PhoneFailure", "пропущен: неизвестный регион");
    case FailReason::BadLoginAddress:
        return QCoreApplication::translate("zelvant::PhoneFailure", "адрес входа не годится");
    case FailReason::NotMonitored:
        return QCoreApplication::translate("zelvant::PhoneFailure", "пропущен: не отслеживается");
    case FailReason::Stopped:
        return QCoreApplication::translate("zelvant::PhoneFailure", "запрос остановлен");
    case FailReason::NotInKeyring:
        return QCoreApplication::translate("zelvant::PhoneFailure",
                                           "пароль не найден в связке ключей");
    case FailReason::RedirectRefused:
        return QCoreApplication::translate("zelvant::PhoneFailure", "перенаправление отклонено");
    }
    return QString();
}

QString PhoneFailure::englishText() const
{
    switch (reason) {
    case FailReason::None:
        return QString();
    case FailReason::NoConnection:
        return QStringLiteral("no connection");
    case FailReason::TimeOut:
        return QStringLiteral("time-out");
    case FailReason::TlsRefused:
        return QStringLiteral("TLS certificate refused");
    case FailReason::HttpError:
        return QStringLiteral("HTTP error %1").arg(httpStatus);
    case FailReason::NoBalance:
        return QStringLiteral("no balance on the page");
    case FailReason::TooLarge:
        return QStringLiteral("answer too large");
    case FailReason::NoNumber:
        return QStringLiteral("skipped: no number");
    case FailReason::NoPassword:
        return QStringLiteral("skipped: no password");
    case FailReason::UnknownRegion:
        return QStringLiteral("skipped: unknown region");
    case FailReason::BadLoginAddress:
        return QStringLiteral("unusable login address");
    case FailReason::NotMonitored:
        return QStringLiteral("skipped: not monitored");
    case FailReason::Stopped:
        return QStringLiteral("stopped");
    case FailReason::NotInKeyring:
        return QStringLiteral("password not in the keyring");
    case FailReason::RedirectRefused:
        return QStringLiteral("redirection refused");
    }
    return QString();
}

} // namespace zelvant
