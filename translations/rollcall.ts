<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" sourcelanguage="en">
<context>
    <name>About</name>
    <message>
        <source>Quick start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searching from the command line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A simulated network to try it on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Contributing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finds your friends on Half-Life servers.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Free software under the MIT licence.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PingTexts</name>
    <message>
        <source>%1 is not successfully responding.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows Sockets Version %1.%2 is not supported by %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This application requires a minimum of %1 supported sockets.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows Sockets Error %1 occurred in Cleanup.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RunTexts</name>
    <message>
        <source>Searching For Players...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status: Downloading Server List...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please try again later.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Master server tried: %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Master server tried: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to contact the master server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please check the address and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bad master server response.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An unknown error occurred while obtaining the server list.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No servers received from master.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Players Found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status: Downloading Server List (%1)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status: Refreshing %1:%2...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status: Done.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total Servers: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Servers Left: %1 (%2%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total Servers:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Servers Left:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The master server listed more than %1 servers; the first %1 were searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The 1 server received before it was searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The %1 servers received before it were searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The master server stopped answering after 1 server; it was searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The master server stopped answering after %1 servers; those were searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>It answers only so often: wait a minute before the next search.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: not an IPv4 address or a host name: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: no host before the port: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: the port is not a number from 1 to 65535: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: longer than 1000 characters: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: a list may name at most 10000 servers; the rest of the file was not read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: the host name was not found: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: the host name has no IPv4 address: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: the host name lookup got no answer in time: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: no game server can have this address: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>... and %n more bad line(s).</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>There is no file at %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is larger than 4 MiB.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be read: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>standard input</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server list file could not be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 has no server lines.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server list file names no server that can be searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 line of the server list file was passed over; the other servers were searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 lines of the server list file were passed over; the other servers were searched.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server was not added to the server list file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Steam Web API address: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Steam Web API listed no servers for this search.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::app::MainForm</name>
    <message>
        <source>it is not a regular file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is larger than %1 MiB, far too large for a settings file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your saved options could not be read from %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rollcall starts with its default options.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your options could not be saved to %1: it is not a regular file, and Rollcall leaves it as it is.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your options could not be saved to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The next start uses the options saved before, or the defaults.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt; &amp;Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next &gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rollcall welcome picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Welcome to Brightfield Rollcall v%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>With this program you can search for online players playing Half-Life.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press Next to continue...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::app::MasterChoice</name>
    <message>
        <source>Half-Life master</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Steam master</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Steam master region</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Region:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Protocol:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Region %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Steam Web API</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server list file</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::app::OptionsPage</name>
    <message>
        <source>The %1 filter is too long: at most %2 characters fit in a master server request.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rollcall Options</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Search For...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search for first name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search for second name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First player name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Second player name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use Wildcards</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server Query Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>simultaneous udp connections</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Query request timeout:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(in milliseconds)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Half-Life Master Server Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Max amount of servers to download:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Max amount of servers to download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Us&amp;e:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are running &amp;game:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are running m&amp;ap:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a number greater than zero.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a player name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a valid wildcard pattern.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a master server address or choose one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid character in game type.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid character in map name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>game</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>map</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::app::SearchPage</name>
    <message>
        <source>Servers asked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Players Found:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Launch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Launch Half-Life and connect to selected ip address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View Info...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View info about the server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy ip address to clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;ing Server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ping the selected server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Players found</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::app::SourceFields</name>
    <message>
        <source>Show</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show or hide the API key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get a key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API &amp;key:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No web browser could be opened. A Steam user gets a key at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Half-Life</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A2S</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;List file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Query ser&amp;vers with:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter your Steam Web API key.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This is not a Steam Web API key: a key has no spaces and only plain letters, digits and punctuation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please choose a server list file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a Server List File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server lists (*.txt *.lst *.cfg);;All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::info::InfoForm</name>
    <message>
        <source>n/a</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Map Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Players</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Protocol Version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rule</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server rules</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Player Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frags</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server Info for %1:%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dedicated</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Listen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Proxy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Linux</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mac</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bots</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server Type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Operating System</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Secure (VAC)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::info::ListMenu</name>
    <message>
        <source>&amp;Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::launch::LaunchForm</name>
    <message>
        <source>n/a</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Info &gt;&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Info &lt;&lt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Half-Life executable was given.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was not found.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This is a folder, not a program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file may not be run (permission denied): it is not marked executable.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The system could not start this file as a program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tried to start:
%1

%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Launch Half-Life &amp; Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Launch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show/hide server&apos;s game info</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Game Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server game information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for Half-Life executable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Server Address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Half-Life Executable:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Map Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Players</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot launch Half-Life without first receiving the server&apos;s game info.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot launch Half-Life with the game directory sent by this server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to launch Half-Life.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please verify that the path is correct.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse for Half-Life Executable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Half-Life Executable (hl.exe);;Program Files (*.exe);;All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Join through Steam</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Let Steam start the game and join the server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot join this server through Steam: its address is not a valid IPv4 address and port.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to join the server through Steam.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please verify that Steam is installed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tried to open:
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::results::ResultsModel</name>
    <message>
        <source>Server IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ping</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Player Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frags</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>rollcall::results::ResultsPage</name>
    <message>
        <source>Ping error: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View Info...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Launch...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ping Server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy &amp;Steam link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy player &amp;name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add server to list file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Server to List File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server lists (*.txt *.lst);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
