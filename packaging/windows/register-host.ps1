<#
.SYNOPSIS
Registers the signature pad's native-messaging host with Chrome, Chromium, Edge and Firefox for
the current user, or removes that registration with -Uninstall.

.DESCRIPTION
Sets the default value of each browser's per-user key to the path of a host manifest:
  HKCU\Software\Google\Chrome\NativeMessagingHosts\<name>     <name>.chromium.json
  HKCU\Software\Chromium\NativeMessagingHosts\<name>           <name>.chromium.json
  HKCU\Software\Microsoft\Edge\NativeMessagingHosts\<name>     <name>.chromium.json
  HKCU\Software\Mozilla\NativeMessagingHosts\<name>            <name>.firefox.json
The ZIP's own manifests beside the host are registered as they are when they name that host and
the extensions asked for. Otherwise (other extension ids, a host elsewhere, a checkout) the script
writes its own manifests, naming the host by its absolute path, into the current user's folder
%LOCALAPPDATA%\Lumarq\OrvaneSign\NativeMessagingHosts: it never writes into the host's folder,
which may be read-only, and whose manifests the .reg files name. -Uninstall removes the four keys
and the manifests the script wrote; the ZIP's own stay.
The host's name and the extension ids come from native-host.json beside this script (where the
ZIP is extracted) or from extension\native-host.json in a checkout.

.PARAMETER HostPath
The host executable. Default: Lumarq.OrvaneSignExtension.exe beside this script, or the cross
build's build-win32\bin\ in a checkout.

.PARAMETER ExtensionId
Chrome, Chromium or Edge extension ids allowed to start the host. Default: the one in native-host.json.

.PARAMETER FirefoxExtensionId
Firefox extension ids allowed to start the host. Default: the one in native-host.json.

.EXAMPLE
powershell -NoProfile -ExecutionPolicy Bypass -File register-host.ps1

.EXAMPLE
powershell -NoProfile -ExecutionPolicy Bypass -File register-host.ps1 -Uninstall
#>
[CmdletBinding()]
param(
    [switch] $Uninstall,
    [string] $HostPath,
    [string[]] $ExtensionId,
    [string[]] $FirefoxExtensionId
)

Set-StrictMode -Version 3.0
$ErrorActionPreference = 'Stop'

function Stop-WithMessage([string] $Message) {
    [Console]::Error.WriteLine("register-host.ps1: $Message")
    exit 1
}

$hostFile = 'Lumarq.OrvaneSignExtension.exe'
if (Test-Path -LiteralPath (Join-Path $PSScriptRoot 'native-host.json') -PathType Leaf) {
    # Extracted from the ZIP: this script, native-host.json and the host in one folder.
    $configFile = Join-Path $PSScriptRoot 'native-host.json'
    $defaultHost = Join-Path $PSScriptRoot $hostFile
} else {
    # A checkout: packaging\windows\ beside extension\, the host cross-built in build-win32\.
    $checkout = Split-Path -Parent (Split-Path -Parent $PSScriptRoot)
    $configFile = Join-Path $checkout 'extension\native-host.json'
    $defaultHost = Join-Path $checkout "build-win32\bin\$hostFile"
}
if (-not (Test-Path -LiteralPath $configFile -PathType Leaf)) {
    Stop-WithMessage "cannot find $configFile"
}
$config = Get-Content -LiteralPath $configFile -Raw | ConvertFrom-Json
$name = [string] $config.name

$keys = [ordered] @{
    'HKCU:\Software\Google\Chrome\NativeMessagingHosts'  = 'chromium'
    'HKCU:\Software\Chromium\NativeMessagingHosts'       = 'chromium'
    'HKCU:\Software\Microsoft\Edge\NativeMessagingHosts' = 'chromium'
    'HKCU:\Software\Mozilla\NativeMessagingHosts'        = 'firefox'
}
# Where the manifests that this script writes live: the user's own folder.
$userFolder = Join-Path $env:LOCALAPPDATA 'Lumarq\OrvaneSign\NativeMessagingHosts'

if ($Uninstall) {
    foreach ($parent in $keys.Keys) {
        $key = Join-Path $parent $name
        if (Test-Path -LiteralPath $key) {
            Remove-Item -LiteralPath $key -Recurse
            Write-Output "removed $key"
        }
    }
    foreach ($kind in 'chromium', 'firefox') {
        $file = Join-Path $userFolder "$name.$kind.json"
        if (Test-Path -LiteralPath $file -PathType Leaf) {
            Remove-Item -LiteralPath $file
            Write-Output "removed $file"
        }
    }
    if ((Test-Path -LiteralPath $userFolder) -and -not (Get-ChildItem -LiteralPath $userFolder -Force)) {
        Remove-Item -LiteralPath $userFolder
    }
    exit 0
}

if (-not $HostPath) { $HostPath = $defaultHost }
if (-not (Test-Path -LiteralPath $HostPath -PathType Leaf)) {
    Stop-WithMessage "the host $HostPath does not exist (extract the ZIP, or give -HostPath)"
}
if ([IO.Path]::GetExtension($HostPath) -ne '.exe') {
    Stop-WithMessage "the host $HostPath is not an .exe"
}
$HostPath = (Resolve-Path -LiteralPath $HostPath).ProviderPath
$hostFolder = Split-Path -Parent $HostPath

if (-not $ExtensionId) { $ExtensionId = @([string] $config.chromeExtensionId) }
if (-not $FirefoxExtensionId) { $FirefoxExtensionId = @([string] $config.firefoxExtensionId) }
foreach ($id in $ExtensionId) {
    if ($id -cnotmatch '^[a-p]{32}$') {
        Stop-WithMessage "not a Chrome extension id (32 letters a to p): '$id'"
    }
}
$guid = '\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}'
foreach ($id in $FirefoxExtensionId) {
    if ($id -cnotmatch "^([A-Za-z0-9._+-]*@[A-Za-z0-9._-]+|$guid)$") {
        Stop-WithMessage "not a Firefox extension id (name@domain or {GUID}): '$id'"
    }
}

# Plain string arrays: Windows PowerShell would write a wrapped array as {"value": [...], ...}.
$origins = [string[]] @($ExtensionId | ForEach-Object { "chrome-extension://$_/" })
$firefoxIds = [string[]] @($FirefoxExtensionId)

# Test-Fits MANIFEST KIND ALLOWED: the KIND manifest exists, names this host (by its file name
# beside it, or by its full path) and allows exactly the extensions asked for.
function Test-Fits([string] $Manifest, [string] $Kind, [string[]] $Allowed) {
    if (-not (Test-Path -LiteralPath $Manifest -PathType Leaf)) { return $false }
    $field = if ($Kind -eq 'chromium') { 'allowed_origins' } else { 'allowed_extensions' }
    try {
        $existing = Get-Content -LiteralPath $Manifest -Raw | ConvertFrom-Json
        $path = [string] $existing.path
        return ($existing.name -eq $name) -and ($existing.type -eq 'stdio') -and
            ($path -eq (Split-Path -Leaf $HostPath) -or $path -eq $HostPath) -and
            ((@($existing.$field) -join "`n") -ceq ($Allowed -join "`n"))
    } catch {
        # Not JSON, or a field missing: not a manifest to register as it is.
        return $false
    }
}

$utf8 = New-Object System.Text.UTF8Encoding $false
$manifests = @{}
foreach ($kind in 'chromium', 'firefox') {
    $allowed = if ($kind -eq 'chromium') { $origins } else { $firefoxIds }
    $beside = Join-Path $hostFolder "$name.$kind.json"
    if (Test-Fits $beside $kind $allowed) {
        Write-Output "using $beside"
        $manifests[$kind] = $beside
        continue
    }
    $manifest = [ordered] @{
        'name'        = $name
        'description' = [string] $config.description
        'path'        = $HostPath
        'type'        = 'stdio'
    }
    if ($kind -eq 'chromium') {
        $manifest['allowed_origins'] = $origins
    } else {
        $manifest['allowed_extensions'] = $firefoxIds
    }
    $file = Join-Path $userFolder "$name.$kind.json"
    try {
        New-Item -ItemType Directory -Path $userFolder -Force | Out-Null
        # Without a byte-order mark, which Windows PowerShell's UTF8 encoding would write.
        [IO.File]::WriteAllText($file, ($manifest | ConvertTo-Json -Depth 3), $utf8)
    } catch {
        Stop-WithMessage "cannot write the manifest $file ($($_.Exception.Message))"
    }
    Write-Output "wrote $file"
    $manifests[$kind] = $file
}

foreach ($parent in $keys.Keys) {
    $key = Join-Path $parent $name
    if (-not (Test-Path -LiteralPath $key)) { New-Item -Path $key -Force | Out-Null }
    Set-Item -LiteralPath $key -Value $manifests[$keys[$parent]]
    Write-Output "registered $key"
}
