<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>BusMonitorWindow</name>
    <message>
        <source>Bus monitor</source>
        <translation>Монитор шины</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Пауза</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Очистить</translation>
    </message>
    <message>
        <source>Filter: parameter, value, failure or bytes</source>
        <translation>Фильтр: параметр, значение, сбой или байты</translation>
    </message>
    <message>
        <source>Failures only</source>
        <translation>Только сбои</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>Следить</translation>
    </message>
    <message>
        <source>Save as text...</source>
        <translation>Сохранить как текст...</translation>
    </message>
    <message>
        <source>Save the frames</source>
        <translation>Сохранение кадров</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Текстовые файлы (*.txt);;Все файлы (*)</translation>
    </message>
    <message>
        <source>%1 of %2 frames shown</source>
        <translation>Показано кадров: %1 из %2</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>Не удаётся записать %1: %2</translation>
    </message>
</context>
<context>
    <name>BusScanDialog</name>
    <message>
        <source>Find modules on the bus</source>
        <translation>Поиск модулей на шине</translation>
    </message>
    <message>
        <source>Baud rates</source>
        <translation>Скорости обмена</translation>
    </message>
    <message>
        <source>Addresses from</source>
        <translation>Адреса с</translation>
    </message>
    <message>
        <source>to</source>
        <translation>по</translation>
    </message>
    <message>
        <source>(%1-bit addresses)</source>
        <translation>(%1-битные адреса)</translation>
    </message>
    <message>
        <source>Wait at each address</source>
        <translation>Ожидание на каждом адресе</translation>
    </message>
    <message>
        <source>Quick: may miss a module whose reply starts late</source>
        <translation>Быстро: модуль, отвечающий с задержкой, может быть пропущен</translation>
    </message>
    <message>
        <source>Waits for the longest reply's time on the line. A module that answers later (a response delay set in it, a USB adapter, a network gateway) is found only when its late reply comes through whole.</source>
        <translation>Ждёт столько, сколько идёт по линии самый длинный ответ. Модуль, отвечающий позже (заданная в нём задержка ответа, USB-адаптер, сетевой шлюз), найдётся, только если его поздний ответ дойдёт целиком.</translation>
    </message>
    <message>
        <source>Thorough: the full reply time-out at every address</source>
        <translation>Тщательно: полный тайм-аут ответа на каждом адресе</translation>
    </message>
    <message>
        <source>Finds every module that answers within the time-out of ordinary requests.</source>
        <translation>Находит каждый модуль, отвечающий в пределах тайм-аута обычных запросов.</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>Скорость</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Модель</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Версия</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Примечание</translation>
    </message>
    <message>
        <source>Double-click a module to connect to it</source>
        <translation>Дважды щёлкните модуль, чтобы подключиться к нему</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Начать</translation>
    </message>
    <message>
        <source>Scanning %1 addresses at %2 baud rate(s) takes %3 when few modules answer.</source>
        <translation>Опрос %1 адресов на %2 скорост(ях) займёт %3, если отвечают немногие модули.</translation>
    </message>
    <message>
        <source>Choose at least one baud rate and a range of addresses.</source>
        <translation>Выберите хотя бы одну скорость и диапазон адресов.</translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation>Остановка…</translation>
    </message>
    <message>
        <source>Scanning…</source>
        <translation>Поиск…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Address %1 at %2 baud, %3 left</source>
        <translation>Адрес %1 на скорости %2, осталось %3</translation>
    </message>
    <message>
        <source>Stopped; no module answered so far.</source>
        <translation>Остановлено; пока ни один модуль не ответил.</translation>
    </message>
    <message>
        <source>No module answered. Check the wiring, the adapter and the baud rates.</source>
        <translation>Ни один модуль не ответил. Проверьте проводку, адаптер и скорости обмена.</translation>
    </message>
    <message>
        <source>%1 module(s) found%2. Double-click one to connect to it.</source>
        <translation>Найдено модулей: %1%2. Дважды щёлкните модуль, чтобы подключиться к нему.</translation>
    </message>
    <message>
        <source> before the scan was stopped</source>
        <translation> до остановки поиска</translation>
    </message>
    <message>
        <source>The module at address %1 did not identify itself as a known model.</source>
        <translation>Модуль по адресу %1 не назвал себя известной моделью.</translation>
    </message>
</context>
<context>
    <name>ApplyDialog</name>
    <message>
        <source>New network settings</source>
        <translation>Новые сетевые настройки</translation>
    </message>
    <message>
        <source>ATTENTION! Network settings of the device will be changed. This can cause a loss of connection. Please check network settings.</source>
        <translation>ВНИМАНИЕ! Сетевые настройки прибора будут изменены. Это может привести к потере связи. Проверьте сетевые настройки.</translation>
    </message>
    <message>
        <source>New settings:</source>
        <translation>Новые настройки:</translation>
    </message>
    <message>
        <source>Change network settings of Configurator</source>
        <translation>Изменить сетевые настройки Конфигуратора</translation>
    </message>
    <message>
        <source>Run APLY as a broadcast command</source>
        <translation>Выполнить APLY широковещательной командой</translation>
    </message>
</context>
<context>
    <name>CalibrationMethodDialog</name>
    <message>
        <source>Calibration method</source>
        <translation>Метод юстировки</translation>
    </message>
    <message>
        <source>Not selected</source>
        <translation>Не выбран</translation>
    </message>
    <message>
        <source>Select method</source>
        <translation>Выберите метод</translation>
    </message>
    <message>
        <source>Select input</source>
        <translation>Выберите вход</translation>
    </message>
    <message>
        <source>Select channel</source>
        <translation>Выберите канал</translation>
    </message>
    <message>
        <source>Enter code</source>
        <translation>Введите код</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Продолжить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>CalibrationRunDialog</name>
    <message>
        <source>Calibration</source>
        <translation>Юстировка</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Продолжить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>OutputCalibrationDialog</name>
    <message>
        <source>Calibration</source>
        <translation>Юстировка</translation>
    </message>
    <message>
        <source>Coefficients</source>
        <translation>Коэффициенты</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Output code %1 to %2</source>
        <translation>Код выхода от %1 до %2</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Завершить</translation>
    </message>
    <message>
        <source>Choose a coefficient</source>
        <translation>Выберите коэффициент</translation>
    </message>
</context>
<context>
    <name>SelectDeviceDialog</name>
    <message>
        <source>Select device</source>
        <translation>Выбор прибора</translation>
    </message>
    <message>
        <source>Device name</source>
        <translation>Название прибора</translation>
    </message>
</context>
<context>
    <name>ConnectionSetupDialog</name>
    <message>
        <source>Connection to device</source>
        <translation>Подключение к прибору</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Выход</translation>
    </message>
    <message>
        <source>Work offline</source>
        <translation>Работать без прибора</translation>
    </message>
    <message>
        <source>Scan network</source>
        <translation>Поиск в сети</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключить</translation>
    </message>
    <message>
        <source>Use factory settings</source>
        <translation>Заводские настройки</translation>
    </message>
    <message>
        <source>Try with a simulated module</source>
        <translation>Попробовать с имитацией модуля</translation>
    </message>
    <message>
        <source>No serial port was found. Connect an RS-485 adapter, or try a simulated module.</source>
        <translation>Последовательный порт не найден. Подключите адаптер RS-485 или попробуйте имитацию модуля.</translation>
    </message>
</context>
<context>
    <name>ConnectionSettingsTable</name>
    <message>
        <source>Serial port settings</source>
        <translation>Настройки последовательного порта</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
</context>
<context>
    <name>SinglePointDialog</name>
    <message>
        <source>Single parameter</source>
        <translation>Отдельный параметр</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Hesh code</source>
        <translation>Хеш-код</translation>
    </message>
    <message>
        <source>Indexed</source>
        <translation>Индексированный</translation>
    </message>
    <message>
        <source>Data index</source>
        <translation>Индекс данных</translation>
    </message>
    <message>
        <source>Address index (3 bit)</source>
        <translation>Индекс адреса (3 бита)</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Чтение</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>Запись</translation>
    </message>
    <message>
        <source>Write data</source>
        <translation>Записываемые данные</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>Выполнить</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Выход</translation>
    </message>
</context>
<context>
    <name>IoStatusWindow</name>
    <message>
        <source>Click to switch this output on or off</source>
        <translation>Щёлкните, чтобы включить или выключить этот выход</translation>
    </message>
</context>
<context>
    <name>ConfigurationTree</name>
    <message>
        <source>Read parameter</source>
        <translation>Считать параметр</translation>
    </message>
    <message>
        <source>Write parameter</source>
        <translation>Записать параметр</translation>
    </message>
    <message>
        <source>Set to &quot;no data&quot;</source>
        <translation>Установить «нет данных»</translation>
    </message>
    <message>
        <source>Read branch parameters</source>
        <translation>Считать параметры ветви</translation>
    </message>
    <message>
        <source>Write branch parameters</source>
        <translation>Записать параметры ветви</translation>
    </message>
    <message>
        <source>Write branch changes</source>
        <translation>Записать изменения ветви</translation>
    </message>
    <message>
        <source>Compare within branch</source>
        <translation>Сравнить в ветви</translation>
    </message>
</context>
<context>
    <name>TareWeightDialog</name>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
</context>
<context>
    <name>ConnectionIndicator</name>
    <message>
        <source>Connection to the module; click to change the port settings</source>
        <translation>Связь с модулем; щёлкните, чтобы изменить настройки порта</translation>
    </message>
</context>
<context>
    <name>DifferencesWindow</name>
    <message>
        <source>(root)</source>
        <translation>(корень)</translation>
    </message>
    <message>
        <source>Differences: document and %1</source>
        <translation>Различия: документ и %1</translation>
    </message>
    <message>
        <source>&amp;Branch:</source>
        <translation>&amp;Ветвь:</translation>
    </message>
    <message>
        <source>Check all</source>
        <translation>Отметить все</translation>
    </message>
    <message>
        <source>Uncheck all</source>
        <translation>Снять все отметки</translation>
    </message>
    <message>
        <source>Branch</source>
        <translation>Ветвь</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>Document</source>
        <translation>Документ</translation>
    </message>
    <message>
        <source>Take checked values into the document</source>
        <translation>Взять отмеченные значения в документ</translation>
    </message>
    <message>
        <source>Write checked to the module</source>
        <translation>Записать отмеченные в модуль</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>All branches</source>
        <translation>Все ветви</translation>
    </message>
    <message>
        <source>%1 differences, %2 shown, %3 checked</source>
        <translation>Различий: %1, показано: %2, отмечено: %3</translation>
    </message>
</context>
<context>
    <name>FrameTableModel</name>
    <message>
        <source>Time, ms</source>
        <translation>Время, мс</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>Направление</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Индекс</translation>
    </message>
    <message>
        <source>Access</source>
        <translation>Доступ</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Failure</source>
        <translation>Сбой</translation>
    </message>
    <message>
        <source>Reply, ms</source>
        <translation>Ответ, мс</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>Байты</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Ready</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Правка</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Отменить</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Повторить</translation>
    </message>
    <message>
        <source>Undo %1</source>
        <translation>Отменить: %1</translation>
    </message>
    <message>
        <source>Redo %1</source>
        <translation>Повторить: %1</translation>
    </message>
    <message>
        <source>%1
Replies: %2, mean %3 ms, longest %4 ms.
Click to reset the counters.</source>
        <translation>%1
Ответов: %2, в среднем %3 мс, дольше всего %4 мс.
Щёлкните, чтобы сбросить счётчики.</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Открыть</translation>
    </message>
    <message>
        <source>Configuration files (*.vdc);;All files (*)</source>
        <translation>Файлы конфигурации (*.vdc);;Все файлы (*)</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>Сохранить как</translation>
    </message>
    <message>
        <source>Save changes to %1?</source>
        <translation>Сохранить изменения в %1?</translation>
    </message>
    <message>
        <source>Find...</source>
        <translation>Найти...</translation>
    </message>
    <message>
        <source>Compare with file</source>
        <translation>Сравнение с файлом</translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <source>Device &lt;=&gt; Application</source>
        <translation>Прибор &lt;=&gt; Программа</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Time elapsed</source>
        <translation>Прошло времени</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Параметры</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 из %2</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>The user guide (guide.html) is not installed beside the program nor in share/doc/varda.</source>
        <translation>Руководство пользователя (guide.html) не установлено ни рядом с программой, ни в share/doc/varda.</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>О программе %1</translation>
    </message>
    <message>
        <source>Build %1</source>
        <translation>Сборка %1</translation>
    </message>
</context>
<context>
    <name>SimulatorPanel</name>
    <message>
        <source>Simulated module</source>
        <translation>Имитатор модуля</translation>
    </message>
    <message>
        <source>Go silent</source>
        <translation>Замолчать</translation>
    </message>
    <message>
        <source>The module stops answering, as if its cable were pulled</source>
        <translation>Модуль перестаёт отвечать, как будто отсоединён кабель</translation>
    </message>
    <message>
        <source>Garble %1 replies</source>
        <translation>Исказить %1 ответа</translation>
    </message>
    <message>
        <source>The next replies carry a wrong checksum, as on a noisy line</source>
        <translation>Следующие ответы придут с неверной контрольной суммой, как на зашумлённой линии</translation>
    </message>
    <message>
        <source>Slow replies</source>
        <translation>Медленные ответы</translation>
    </message>
    <message>
        <source>Every reply comes %1 ms late</source>
        <translation>Каждый ответ запаздывает на %1 мс</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Восстановить</translation>
    </message>
    <message>
        <source>Take every fault back</source>
        <translation>Отменить все неисправности</translation>
    </message>
</context>
<context>
    <name>StartupWindow</name>
    <message>
        <source>Cancelling…</source>
        <translation>Отмена…</translation>
    </message>
</context>
<context>
    <name>TreeFilterBar</name>
    <message>
        <source>Find a parameter by description, name or value</source>
        <translation>Найти параметр по описанию, имени или значению</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>Изменённые</translation>
    </message>
    <message>
        <source>Only values edited and not yet written</source>
        <translation>Только изменённые и ещё не записанные значения</translation>
    </message>
    <message>
        <source>Differs</source>
        <translation>Отличаются</translation>
    </message>
    <message>
        <source>Only values that differ from the module</source>
        <translation>Только значения, отличающиеся от модуля</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>С ошибкой</translation>
    </message>
    <message>
        <source>Only parameters whose exchange failed</source>
        <translation>Только параметры, обмен с которыми не удался</translation>
    </message>
    <message>
        <source>Close the filter (Escape)</source>
        <translation>Закрыть фильтр (Escape)</translation>
    </message>
</context>
<context>
    <name>UserGuideWindow</name>
    <message>
        <source>%1 user guide</source>
        <translation>Руководство пользователя %1</translation>
    </message>
</context>
</TS>
