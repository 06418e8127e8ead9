<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>rollcall::launch::LaunchForm</name>
    <message>
        <source>Launch Half-Life &amp; Connect</source>
        <translation>Half-Life starten und verbinden</translation>
    </message>
    <message>
        <source>&amp;Info &gt;&gt;</source>
        <translation>&amp;Mehr &gt;&gt;</translation>
    </message>
    <message>
        <source>&amp;Info &lt;&lt;</source>
        <translation>&amp;Weniger &lt;&lt;</translation>
    </message>
</context>
<context>
    <name>RunTexts</name>
    <message>
        <source>%1 Players Found</source>
        <translation>%1 Spieler gefunden</translation>
    </message>
</context>
</TS>
