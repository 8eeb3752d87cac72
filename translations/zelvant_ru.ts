<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="ru">
<context>
    <name>zelvant::SetupRules</name>
    <message numerus="yes">
        <source>Каждые %n час(ов)</source>
        <translation>
            <numerusform>Каждый %n час</numerusform>
            <numerusform>Каждые %n часа</numerusform>
            <numerusform>Каждые %n часов</numerusform>
        </translation>
    </message>
</context>
</TS>
