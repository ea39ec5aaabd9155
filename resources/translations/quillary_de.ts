<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CustomFileManager</name>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="431"/>
        <source>Meine Vorlage</source>
        <translation>Meine Vorlage</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="453"/>
        <source>Created </source>
        <translation>Erstellt </translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="454"/>
        <source>Updated </source>
        <translation>Aktualisiert </translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="479"/>
        <source>No temporary directory could be created: %1</source>
        <translation>Es konnte kein temporäres Verzeichnis angelegt werden: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="491"/>
        <source>The page could not be read: %1</source>
        <translation>Die Seite konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="506"/>
        <source>The settings file could not be read: %1</source>
        <translation>Die Einstellungsdatei konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="543"/>
        <location filename="../../src/store/CustomFileManager.cpp" line="603"/>
        <location filename="../../src/store/CustomFileManager.cpp" line="611"/>
        <source>The page could not be stored: %1</source>
        <translation>Die Seite konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="554"/>
        <source>The settings file holds no template list: %1</source>
        <translation>Die Einstellungsdatei enthält keine Vorlagenliste: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="558"/>
        <location filename="../../src/store/CustomFileManager.cpp" line="634"/>
        <source>The settings file could not be written: %1</source>
        <translation>Die Einstellungsdatei konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="569"/>
        <source>The template &quot;%1&quot; no longer exists.</source>
        <translation>Die Vorlage „%1“ existiert nicht mehr.</translation>
    </message>
</context>
<context>
    <name>quillary::PlaceholderWindow</name>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="16"/>
        <source>DIN A4</source>
        <translation>DIN A4</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="17"/>
        <source>US Letter</source>
        <translation>US Letter</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="18"/>
        <source>undefined</source>
        <translation>undefiniert</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="21"/>
        <source> (landscape)</source>
        <translation> (quer)</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="21"/>
        <source> (portrait)</source>
        <translation> (hoch)</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="22"/>
        <source>%1, %2 × %3 pt</source>
        <translation>%1, %2 × %3 pt</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="38"/>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="39"/>
        <source>Management mode</source>
        <translation>Verwaltungsmodus</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="40"/>
        <source>Your stationery templates will be managed here.</source>
        <translation>Hier verwalten Sie Ihre Briefpapier-Vorlagen.</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="45"/>
        <source>Quillary – Preview</source>
        <translation>Quillary – Vorschau</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="46"/>
        <source>Print-service mode</source>
        <translation>Druckdienst-Modus</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="47"/>
        <source>Document: %1</source>
        <translation>Dokument: %1</translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="51"/>
        <source>Paper format: %1</source>
        <translation>Papierformat: %1</translation>
    </message>
</context>
</TS>
