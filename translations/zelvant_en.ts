<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>PhonePasswords</name>
    <message>
        <source>Связка ключей не приняла пароли (%1); они остались там, где были.</source>
        <translation>The keyring did not take the passwords (%1); they stayed where they were.</translation>
    </message>
</context>
<context>
    <name>zelvant::AboutBox</name>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Программа</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>Версия</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Помощь, обновления, связь с авторами:</source>
        <translation>Help, updates, contact the authors:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>zelvant::AlertRules</name>
    <message>
        <source> у.е.</source>
        <translation> c.u.</translation>
    </message>
    <message>
        <source>, отключение через %1 дн.</source>
        <translation>, cut off in %1 d.</translation>
    </message>
    <message>
        <source>ни разу</source>
        <translation>never</translation>
    </message>
    <message>
        <source>Не удаётся получить баланс: %1, последний успешный запрос %2</source>
        <translation>Cannot get the balance: %1, last successful request %2</translation>
    </message>
    <message>
        <source>Zelvant: пора пополнить баланс</source>
        <translation>Zelvant: time to top up the balance</translation>
    </message>
    <message>
        <source>Zelvant: необычные списания</source>
        <translation>Zelvant: unusual spending</translation>
    </message>
    <message>
        <source>с %1 списано %2 у.е. — обычно около %3 у.е. в день</source>
        <translation>%2 c.u. spent since %1 — usually about %3 c.u. a day</translation>
    </message>
</context>
<context>
    <name>zelvant::AutoStart</name>
    <message>
        <source>Запускать программу при запуске Windows</source>
        <translation>Start the program when Windows starts</translation>
    </message>
    <message>
        <source>Запускать программу при входе в систему</source>
        <translation>Start the program at login</translation>
    </message>
    <message>
        <source>Не удалось удалить файл автозапуска &quot;%1&quot;.</source>
        <translation>Could not remove the autostart file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Путь к программе &quot;%1&quot; содержит управляющие символы; автозапуск не настроен.</source>
        <translation>The program path &quot;%1&quot; holds control characters; autostart is not set up.</translation>
    </message>
    <message>
        <source>Не удалось создать папку автозапуска &quot;%1&quot;.</source>
        <translation>Could not create the autostart folder &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Не удалось записать файл автозапуска &quot;%1&quot;: %2</source>
        <translation>Could not write the autostart file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Не удалось изменить список автозапуска Windows.</source>
        <translation>Could not change the Windows autostart list.</translation>
    </message>
</context>
<context>
    <name>zelvant::BalanceChartSeries</name>
    <message>
        <source>График баланса: %1, история пуста</source>
        <translation>Balance chart: %1, the history is empty</translation>
    </message>
    <message>
        <source>График баланса: %1, с %2 по %3; наименьший баланс %4 у.е., последний %5 у.е.</source>
        <translation>Balance chart: %1, from %2 to %3; lowest balance %4 c.u., latest %5 c.u.</translation>
    </message>
    <message>
        <source>ru_RU</source>
        <comment>the locale of the month names on the time axis</comment>
        <translation>en_GB</translation>
    </message>
    <message>
        <source>%1 у.е.</source>
        <translation>%1 c.u.</translation>
    </message>
</context>
<context>
    <name>zelvant::BalanceChartView</name>
    <message>
        <source>Баланс</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Баланс, у.е.</source>
        <translation>Balance, c.u.</translation>
    </message>
    <message>
        <source>Баланс меньше %1</source>
        <translation>Balance below %1</translation>
    </message>
    <message>
        <source>Необычный расход</source>
        <translation>Unusual spending</translation>
    </message>
    <message>
        <source>Необычный расход: %1 у.е. с %2</source>
        <translation>Unusual spending: %1 c.u. since %2</translation>
    </message>
</context>
<context>
    <name>zelvant::DesktopNotifier</name>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
</context>
<context>
    <name>zelvant::HistoryRange</name>
    <message>
        <source>Телефон %1</source>
        <translation>Phone %1</translation>
    </message>
    <message>
        <source>История по выбранному телефону не найдена!</source>
        <translation>No history found for the chosen phone!</translation>
    </message>
</context>
<context>
    <name>zelvant::HistoryTableModel</name>
    <message>
        <source>      Дата      </source>
        <translation>      Date      </translation>
    </message>
    <message>
        <source>   Время   </source>
        <translation>   Time   </translation>
    </message>
    <message>
        <source>   Баланс   </source>
        <translation>   Balance   </translation>
    </message>
    <message>
        <source>Расход в день</source>
        <translation>Spent per day</translation>
    </message>
    <message>
        <source>Отключение</source>
        <translation>Cut-off</translation>
    </message>
    <message>
        <source>Заплатить</source>
        <translation>To pay</translation>
    </message>
    <message>
        <source>Минут</source>
        <translation>Minutes</translation>
    </message>
    <message>
        <source>Курс USD</source>
        <translation>USD rate</translation>
    </message>
</context>
<context>
    <name>zelvant::HistoryWindow</name>
    <message>
        <source>История баланса</source>
        <translation>Balance history</translation>
    </message>
    <message>
        <source>За какой период времени показывать историю:</source>
        <translation>Which period of the history to show:</translation>
    </message>
    <message>
        <source>Последние</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>Запросы за</source>
        <translation>Requests of</translation>
    </message>
    <message>
        <source>Всю историю</source>
        <translation>The whole history</translation>
    </message>
    <message>
        <source>Число последних запросов</source>
        <translation>Number of last requests</translation>
    </message>
    <message>
        <source>Число дней</source>
        <translation>Number of days</translation>
    </message>
    <message>
        <source>запросов</source>
        <translation>requests</translation>
    </message>
    <message>
        <source>(дней)</source>
        <translation>(days)</translation>
    </message>
    <message>
        <source>Выберите телефон</source>
        <translation>Choose a phone</translation>
    </message>
    <message>
        <source>Показать</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>Телефон %1: %2</source>
        <translation>Phone %1: %2</translation>
    </message>
</context>
<context>
    <name>zelvant::HistoryWorkbook</name>
    <message>
        <source>слишком много строк для одного листа (не более %1)</source>
        <translation>too many rows for one sheet (at most %1)</translation>
    </message>
    <message>
        <source>текст ячейки длиннее 32767 знаков</source>
        <translation>a cell text longer than 32767 characters</translation>
    </message>
    <message>
        <source>Не удалось записать файл &quot;%1&quot;: %2</source>
        <translation>Could not write the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>на этом месте находится папка</source>
        <translation>a folder is in its place</translation>
    </message>
    <message>
        <source>не удалось создать книгу</source>
        <translation>could not create the workbook</translation>
    </message>
    <message>
        <source>не удалось создать лист</source>
        <translation>could not create the sheet</translation>
    </message>
    <message>
        <source>строка %1, столбец %2: %3</source>
        <translation>row %1, column %2: %3</translation>
    </message>
    <message>
        <source>не удалось создать лист &quot;%1&quot;</source>
        <translation>could not create the sheet &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; существует! Перезаписать?</source>
        <translation>The file &quot;%1&quot; exists! Overwrite it?</translation>
    </message>
    <message>
        <source>Файл &quot;%1&quot; не может быть перезаписан.
Возможно он уже открыт в Excel</source>
        <translation>The file &quot;%1&quot; cannot be overwritten.
Perhaps it is open in Excel</translation>
    </message>
</context>
<context>
    <name>zelvant::MessageBoxes</name>
    <message>
        <source>ОК</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>zelvant::MqttBridge</name>
    <message>
        <source>Баланс</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Дней до отключения</source>
        <translation>Days until turn-off</translation>
    </message>
    <message>
        <source>Осталось SMS</source>
        <translation>SMS left</translation>
    </message>
    <message>
        <source>Осталось минут</source>
        <translation>Minutes left</translation>
    </message>
    <message>
        <source>Последний запрос</source>
        <translation>Last query</translation>
    </message>
    <message>
        <source>Сбой запроса</source>
        <translation>Query failed</translation>
    </message>
</context>
<context>
    <name>zelvant::Parts</name>
    <message>
        <source>нет файла %1 в %2</source>
        <translation>no file %1 in %2</translation>
    </message>
    <message>
        <source>в %1 нет %2</source>
        <translation>%1 has no %2</translation>
    </message>
</context>
<context>
    <name>zelvant::PhoneFailure</name>
    <message>
        <source>нет соединения</source>
        <translation>no connection</translation>
    </message>
    <message>
        <source>истекло время ожидания</source>
        <translation>timed out</translation>
    </message>
    <message>
        <source>сертификат TLS отклонён</source>
        <translation>TLS certificate refused</translation>
    </message>
    <message>
        <source>ошибка HTTP %1</source>
        <translation>HTTP error %1</translation>
    </message>
    <message>
        <source>нет баланса на странице</source>
        <translation>no balance on the page</translation>
    </message>
    <message>
        <source>слишком большой ответ</source>
        <translation>response too large</translation>
    </message>
    <message>
        <source>пропущен: нет номера</source>
        <translation>skipped: no number</translation>
    </message>
    <message>
        <source>пропущен: нет пароля</source>
        <translation>skipped: no password</translation>
    </message>
    <message>
        <source>пропущен: неизвестный регион</source>
        <translation>skipped: unknown region</translation>
    </message>
    <message>
        <source>адрес входа не годится</source>
        <translation>unusable login address</translation>
    </message>
    <message>
        <source>пропущен: не отслеживается</source>
        <translation>skipped: not monitored</translation>
    </message>
    <message>
        <source>запрос остановлен</source>
        <translation>request stopped</translation>
    </message>
    <message>
        <source>пароль не найден в связке ключей</source>
        <translation>password not in the keyring</translation>
    </message>
    <message>
        <source>перенаправление отклонено</source>
        <translation>redirection refused</translation>
    </message>
</context>
<context>
    <name>zelvant::PhoneHistoryWindow</name>
    <message>
        <source>История баланса по телефону</source>
        <translation>Balance history of the phone</translation>
    </message>
    <message>
        <source>История баланса, таблица</source>
        <translation>Balance history, table</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>График баланса</source>
        <translation>Balance chart</translation>
    </message>
    <message>
        <source>Таблица</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>График</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>Таблица или график</source>
        <translation>Table or chart</translation>
    </message>
    <message>
        <source>График недоступен: %1</source>
        <translation>The chart is not available: %1</translation>
    </message>
</context>
<context>
    <name>zelvant::PhoneList</name>
    <message>
        <source>Пароль телефона %1 (%2) длиннее %3 символов: файл телефонов хранит не более %3.</source>
        <translation>The password of phone %1 (%2) is longer than %3 characters: the phone file keeps at most %3.</translation>
    </message>
    <message>
        <source>Пароль телефона %1 (%2) содержит символы, которые нельзя сохранить: допустимы только символы кодировки Windows-1251.</source>
        <translation>The password of phone %1 (%2) holds characters that cannot be saved: only characters of the Windows-1251 code page are allowed.</translation>
    </message>
    <message>
        <source>Телефон %1 (%2) содержит управляющие символы, которые нельзя сохранить в файле.</source>
        <translation>Phone %1 (%2) holds control characters that cannot be saved in the file.</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл &quot;%1&quot; (%2); чтобы не потерять его, список телефонов не сохранён.</source>
        <translation>Could not read the file &quot;%1&quot; (%2); so as not to lose it, the phone list was not saved.</translation>
    </message>
    <message>
        <source>Не удалось сохранить копию &quot;%1&quot; (%2); список телефонов не сохранён.</source>
        <translation>Could not save the copy &quot;%1&quot; (%2); the phone list was not saved.</translation>
    </message>
    <message>
        <source>В файле &quot;%1&quot; было телефонов: %2, а программа хранит не более %3; остальные %4 в новый список не вошли. Прежний файл сохранён как &quot;%5&quot;.</source>
        <translation>The file &quot;%1&quot; held %2 phones, and the program keeps at most %3; the other %4 are not in the new list. The former file was saved as &quot;%5&quot;.</translation>
    </message>
    <message>
        <source>Не удалось записать файл &quot;%1&quot;: %2</source>
        <translation>Could not write the file &quot;%1&quot;: %2</translation>
    </message>
</context>
<context>
    <name>zelvant::PhonePasswords</name>
    <message>
        <source>Связка ключей недоступна (%1).</source>
        <translation>The keyring is not available (%1).</translation>
    </message>
</context>
<context>
    <name>zelvant::PhonesTable</name>
    <message>
        <source>Псевдоним</source>
        <translation>Alias</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Номер</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>Баланс</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Ср.расход</source>
        <translation>Avg.spent</translation>
    </message>
    <message>
        <source>Откл.</source>
        <translation>Cut-off</translation>
    </message>
    <message>
        <source>Рекоменд.</source>
        <translation>Advised</translation>
    </message>
    <message>
        <source>Истекает</source>
        <translation>Expires</translation>
    </message>
    <message>
        <source>Минут</source>
        <translation>Minutes</translation>
    </message>
    <message>
        <source>Посл.запрос</source>
        <translation>Last request</translation>
    </message>
    <message>
        <source>Причина</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>Расход в день</source>
        <translation>Spent per day</translation>
    </message>
    <message>
        <source>Необычный расход: </source>
        <translation>Unusual spending: </translation>
    </message>
</context>
<context>
    <name>zelvant::PhonesWindow</name>
    <message>
        <source>Информация о балансе телефонов</source>
        <translation>Phone balance information</translation>
    </message>
    <message>
        <source>Баланс телефонов</source>
        <translation>Phone balances</translation>
    </message>
    <message>
        <source>Запрос по этому телефону</source>
        <translation>Request this phone</translation>
    </message>
    <message>
        <source>История баланса по телефону</source>
        <translation>Balance history of the phone</translation>
    </message>
    <message>
        <source>Информацию по всем в Excel</source>
        <translation>Everything to Excel</translation>
    </message>
</context>
<context>
    <name>zelvant::RegionChoiceDialog</name>
    <message>
        <source>Выбор региона для телефона</source>
        <translation>Region of the phone</translation>
    </message>
    <message>
        <source>Редактировать</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Выбрать</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Коротко:</source>
        <translation>Short:</translation>
    </message>
    <message>
        <source>Web адрес:</source>
        <translation>Web address:</translation>
    </message>
    <message>
        <source>Не удалось записать список регионов &quot;servers.ini&quot;.</source>
        <translation>Could not write the region list &quot;servers.ini&quot;.</translation>
    </message>
    <message>
        <source>Удалить региональную ЛУМО &quot;%1&quot; из списка?</source>
        <translation>Remove the regional self-service &quot;%1&quot; from the list?</translation>
    </message>
    <message>
        <source>Регион</source>
        <translation>Region</translation>
    </message>
</context>
<context>
    <name>zelvant::RegionEntryDialog</name>
    <message>
        <source>Добавить региональную ЛУМО</source>
        <translation>Add a regional self-service</translation>
    </message>
    <message>
        <source>Пример адреса для входа</source>
        <translation>Sample login address</translation>
    </message>
    <message>
        <source>ОК</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Уважаемые пользователи!</source>
        <translation>Dear users!</translation>
    </message>
    <message>
        <source>Убедительная просьба: присылайте успешные настройки Вашего региона на E-Mail, что бы их можно было включить в дистрибутив.</source>
        <translation>Please send working settings of your region by e-mail so that they can be included in the distribution.</translation>
    </message>
    <message>
        <source>E-Mail для настроек региона</source>
        <translation>E-mail for region settings</translation>
    </message>
    <message>
        <source>Название региона:</source>
        <translation>Region name:</translation>
    </message>
    <message>
        <source>URL адрес для входа в ЛУМО. К примеру, для Москвы такой:</source>
        <translation>Login URL of the self-service. For Moscow, for example:</translation>
    </message>
    <message>
        <source>Краткое название (до 3-х букв)</source>
        <translation>Short name (up to 3 letters)</translation>
    </message>
    <message>
        <source>Все поля должны быть заполнены !</source>
        <translation>All fields must be filled in!</translation>
    </message>
</context>
<context>
    <name>zelvant::RegionList</name>
    <message>
        <source>Все поля должны быть заполнены !</source>
        <translation>All fields must be filled in!</translation>
    </message>
    <message>
        <source>Название &quot;%1&quot; занято встроенным регионом; выберите другое название.</source>
        <translation>The name &quot;%1&quot; belongs to the built-in region; choose another name.</translation>
    </message>
    <message>
        <source>Встроенный регион нельзя удалить.</source>
        <translation>The built-in region cannot be removed.</translation>
    </message>
</context>
<context>
    <name>zelvant::RequestCycle</name>
    <message>
        <source>Запись в журнал ошибок &quot;%1&quot; не удалась: %2</source>
        <translation>Writing to the error log &quot;%1&quot; failed: %2</translation>
    </message>
    <message>
        <source>Полученная страница не сохранена в папку &quot;%1&quot;</source>
        <translation>The page received was not saved in the folder &quot;%1&quot;</translation>
    </message>
    <message>
        <source>разбор страницы прерван: слишком много работы для правил</source>
        <translation>page reading stopped: too much work for the rules</translation>
    </message>
</context>
<context>
    <name>zelvant::SetupRules</name>
    <message numerus="yes">
        <source>Каждые %n час(ов)</source>
        <translation>
            <numerusform>Every %n hour</numerusform>
            <numerusform>Every %n hours</numerusform>
        </translation>
    </message>
    <message>
        <source>Не заполнен номер телефона</source>
        <translation>The phone number is empty</translation>
    </message>
    <message>
        <source>Не заполнен пароль</source>
        <translation>The password is empty</translation>
    </message>
</context>
<context>
    <name>zelvant::SetupWindow</name>
    <message>
        <source>вкл</source>
        <translation>on</translation>
    </message>
    <message>
        <source>Телефон</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Псевдоним</source>
        <translation>Alias</translation>
    </message>
    <message>
        <source>Регион</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Показывать в информационном окне</source>
        <translation>Show in the information window</translation>
    </message>
    <message>
        <source>Порядковый номер телефона</source>
        <translation>Sequence number of the phone</translation>
    </message>
    <message>
        <source>Имя пользователя</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>Номер телефона</source>
        <translation>Phone number</translation>
    </message>
    <message>
        <source>Актуальный баланс</source>
        <translation>Current balance</translation>
    </message>
    <message>
        <source>Средний расход средств в день</source>
        <translation>Average spending per day</translation>
    </message>
    <message>
        <source>Предположительная дата отключения</source>
        <translation>Expected cut-off date</translation>
    </message>
    <message>
        <source>Рекомендовано заплатить</source>
        <translation>Advised payment</translation>
    </message>
    <message>
        <source>Количество оставшихся SMS</source>
        <translation>SMS left</translation>
    </message>
    <message>
        <source>Количество предоплаченных минут</source>
        <translation>Prepaid minutes left</translation>
    </message>
    <message>
        <source>Срок действия вашего баланса истекает...</source>
        <translation>Your balance expires...</translation>
    </message>
    <message>
        <source>Дата/время последнего запроса информации</source>
        <translation>Date/time of the last request</translation>
    </message>
    <message>
        <source>Причина неудачного запроса</source>
        <translation>Reason of a failed request</translation>
    </message>
    <message>
        <source>Выделять информацию если:</source>
        <translation>Highlight the information if:</translation>
    </message>
    <message>
        <source>Баланс меньше ($)</source>
        <translation>Balance below ($)</translation>
    </message>
    <message>
        <source>Отключение менее чем через (дней)</source>
        <translation>Cut-off in less than (days)</translation>
    </message>
    <message>
        <source>Значок в трее:</source>
        <translation>Tray icon:</translation>
    </message>
    <message>
        <source>тёмный с контуром</source>
        <translation>dark with outline</translation>
    </message>
    <message>
        <source>тёмный</source>
        <translation>dark</translation>
    </message>
    <message>
        <source>светлый</source>
        <translation>light</translation>
    </message>
    <message>
        <source>Внимание!</source>
        <translation>Attention!</translation>
    </message>
    <message>
        <source>Программа использует в своей работе сетевые настройки Вашего компьютера и все заданные в системе параметры соединения (Proxy Server и проч.). За один запрос информации по каждому телефону из интернета скачивается около 30 кб.</source>
        <translation>The program uses the network settings of your computer and every connection setting of the system (proxy server etc.). One request downloads about 30 KB from the Internet for each phone.</translation>
    </message>
    <message>
        <source>Обновление информации</source>
        <translation>Refreshing the information</translation>
    </message>
    <message>
        <source>Интервал обновления, часов</source>
        <translation>Refresh interval, hours</translation>
    </message>
    <message>
        <source>Повторять неудачные запросы автоматически</source>
        <translation>Repeat failed requests automatically</translation>
    </message>
    <message>
        <source>Запуск программы и история баланса</source>
        <translation>Program start and balance history</translation>
    </message>
    <message>
        <source>Запрашивать баланс сразу после запуска</source>
        <translation>Request the balance right after start</translation>
    </message>
    <message>
        <source>Вести историю баланса в базе данных</source>
        <translation>Keep the balance history in a database</translation>
    </message>
    <message>
        <source>Загружать при запуске информацию из истории баланса</source>
        <translation>Load the information from the balance history at start</translation>
    </message>
    <message>
        <source>Оповещения</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>Оповещать о низком балансе</source>
        <translation>Notify of a low balance</translation>
    </message>
    <message>
        <source>Оповещать о сбоях запросов</source>
        <translation>Notify of failed requests</translation>
    </message>
    <message>
        <source>Телефоны для мониторинга</source>
        <translation>Phones to monitor</translation>
    </message>
    <message>
        <source>Не более %1 символов: столько хранит файл телефонов</source>
        <translation>At most %1 characters: as many as the phone file keeps</translation>
    </message>
    <message>
        <source>  Не показывать значение баланса в трее</source>
        <translation>  Do not show a balance in the tray</translation>
    </message>
    <message>
        <source>Отслеживать телефон %1</source>
        <translation>Monitor phone %1</translation>
    </message>
    <message>
        <source>Телефон в трее %1</source>
        <translation>Phone in the tray %1</translation>
    </message>
    <message>
        <source>Номер телефона %1</source>
        <translation>Phone number %1</translation>
    </message>
    <message>
        <source>Пароль телефона %1</source>
        <translation>Password of phone %1</translation>
    </message>
    <message>
        <source>Псевдоним телефона %1</source>
        <translation>Alias of phone %1</translation>
    </message>
    <message>
        <source>Регион телефона %1</source>
        <translation>Region of phone %1</translation>
    </message>
    <message>
        <source>Не удалось записать файл &quot;%1&quot;.</source>
        <translation>Could not write the file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Настройка программы Zelvant</source>
        <translation>Zelvant settings</translation>
    </message>
    <message>
        <source>Информационное окно</source>
        <translation>Information window</translation>
    </message>
    <message>
        <source>Соединение</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Телефоны</source>
        <translation>Phones</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Сохранить и запросить баланс</source>
        <translation>Save and request the balance</translation>
    </message>
    <message>
        <source>Значок в трее</source>
        <translation>Tray icon</translation>
    </message>
    <message>
        <source>Разделы настройки</source>
        <translation>Settings pages</translation>
    </message>
    <message>
        <source>Обычный расход в день (по истории баланса)</source>
        <translation>Usual spending per day (from the balance history)</translation>
    </message>
    <message>
        <source>Оповещать о необычных списаниях</source>
        <translation>Notify about unusual spending</translation>
    </message>
    <message>
        <source>Во сколько раз больше обычного расхода в день:</source>
        <translation>Times the usual daily spending:</translation>
    </message>
    <message>
        <source>Но не меньше (у.е. в день):</source>
        <translation>But at least (c.u. a day):</translation>
    </message>
    <message>
        <source>Хранить пароли в связке ключей</source>
        <translation>Keep the passwords in the keyring</translation>
    </message>
    <message>
        <source>Пароль хранится в связке ключей: длина не ограничена</source>
        <translation>The password is kept in the keyring: any length</translation>
    </message>
    <message>
        <source>Публиковать балансы на MQTT-брокере (Home Assistant, Node-RED)</source>
        <translation>Publish the balances to an MQTT broker (Home Assistant, Node-RED)</translation>
    </message>
    <message>
        <source>Брокер</source>
        <translation>Broker</translation>
    </message>
    <message>
        <source>Адрес брокера:</source>
        <translation>Broker address:</translation>
    </message>
    <message>
        <source>Порт:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Шифровать соединение (TLS)</source>
        <translation>Encrypt the connection (TLS)</translation>
    </message>
    <message>
        <source>Файл сертификата центра (TLS):</source>
        <translation>CA certificate file (TLS):</translation>
    </message>
    <message>
        <source>пусто: сертификаты системы</source>
        <translation>empty: the system's certificates</translation>
    </message>
    <message>
        <source>Пользователь:</source>
        <translation>User:</translation>
    </message>
    <message>
        <source>Пароль:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Префикс топиков:</source>
        <translation>Topic prefix:</translation>
    </message>
    <message>
        <source>Обнаружение в Home Assistant (устройство на каждый телефон)</source>
        <translation>Home Assistant discovery (a device per phone)</translation>
    </message>
</context>
<context>
    <name>zelvant::TrayController</name>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Помощь и обновления</source>
        <translation>Help and updates</translation>
    </message>
    <message>
        <source>Настроить программу</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>История баланса</source>
        <translation>Balance history</translation>
    </message>
    <message>
        <source>Баланс телефонов</source>
        <translation>Phone balances</translation>
    </message>
    <message>
        <source>Повторить &quot;неудачные&quot; попытки</source>
        <translation>Repeat the &quot;failed&quot; requests</translation>
    </message>
    <message>
        <source>Остановить запрос</source>
        <translation>Stop the request</translation>
    </message>
    <message>
        <source>Запросить информацию сейчас</source>
        <translation>Request the information now</translation>
    </message>
    <message>
        <source>Выйти</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Всего не записано результатов: %1.</source>
        <translation>Results not written in all: %1.</translation>
    </message>
    <message>
        <source>Не удалось сохранить настройки в файл %1:
%2</source>
        <translation>Could not save the settings to the file %1:
%2</translation>
    </message>
    <message>
        <source>Это окно не должно быть видимым!</source>
        <translation>This window should not be visible!</translation>
    </message>
    <message>
        <source>Если Вы, все же, видите эту надпись, то свяжитесь,</source>
        <translation>If you can see this text nevertheless,</translation>
    </message>
    <message>
        <source>пожалуйста, с автором!</source>
        <translation>please contact the author!</translation>
    </message>
    <message>
        <source>На рабочем столе нет области уведомлений, и значок программы не виден. Её дают, например, расширение GNOME «AppIndicator and KStatusNotifierItem Support» или модуль tray панели (waybar, Xfce, LXQt). Пока её нет, закрытие этого окна завершает программу.</source>
        <translation>The desktop has no notification area, so the program&apos;s icon cannot be seen. One comes, for example, with the GNOME extension «AppIndicator and KStatusNotifierItem Support» or a panel&apos;s tray module (waybar, Xfce, LXQt). While there is none, closing this window ends the program.</translation>
    </message>
</context>
<context>
    <name>zelvant::TrayPresenter</name>
    <message>
        <source>Телефон %1/%2. Запрос...</source>
        <translation>Phone %1/%2. Requesting...</translation>
    </message>
    <message>
        <source>MQTT-брокер недоступен</source>
        <translation>MQTT broker unreachable</translation>
    </message>
</context>
<context>
    <name>zelvant::WorkbookWriter</name>
    <message>
        <source>не найдена часть программы для книг Excel (%1)</source>
        <translation>the program&apos;s part for Excel workbooks is missing (%1)</translation>
    </message>
</context>
</TS>
