<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CustomFileManager</name>
    <message>
        <source>Meine Vorlage</source>
        <translation>Meine Vorlage</translation>
    </message>
    <message>
        <source>Created </source>
        <translation>Erstellt </translation>
    </message>
    <message>
        <source>Updated </source>
        <translation>Aktualisiert </translation>
    </message>
    <message>
        <source>No temporary directory could be created: %1</source>
        <translation>Es konnte kein temporäres Verzeichnis angelegt werden: %1</translation>
    </message>
    <message>
        <source>The page could not be read: %1</source>
        <translation>Die Seite konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>The settings file could not be read: %1</source>
        <translation>Die Einstellungsdatei konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>The page could not be stored: %1</source>
        <translation>Die Seite konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>The settings file holds no template list: %1</source>
        <translation>Die Einstellungsdatei enthält keine Vorlagenliste: %1</translation>
    </message>
    <message>
        <source>The settings file could not be written: %1</source>
        <translation>Die Einstellungsdatei konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; no longer exists.</source>
        <translation>Die Vorlage „%1“ existiert nicht mehr.</translation>
    </message>
</context>
</TS>
