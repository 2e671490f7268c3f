<#
.SYNOPSIS
Registers the signature pad's native-messaging host with Chrome, Edge and Firefox for the
current user, or removes that registration with -Uninstall.

.DESCRIPTION
Writes two host manifests beside the host executable, <name>.chromium.json for Chrome and Edge
and <name>.firefox.json for Firefox, and sets the default value of each browser's per-user key
to its manifest's path:
  HKCU\Software\Google\Chrome\NativeMessagingHosts\<name>
  HKCU\Software\Microsoft\Edge\NativeMessagingHosts\<name>
  HKCU\Software\Mozilla\NativeMessagingHosts\<name>
The host's name and the extension ids come from native-host.json beside this script (where the
ZIP is extracted) or from extension\native-host.json in a checkout. -Uninstall removes the three
keys and the manifests they point to.

.PARAMETER HostPath
The host executable. Default: Lumarq.OrvaneSignExtension.exe beside this script, or the cross
build's build-win32\bin\ in a checkout.

.PARAMETER ExtensionId
Chrome or Edge extension ids allowed to start the host. Default: the one in native-host.json.

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
    'HKCU:\Software\Microsoft\Edge\NativeMessagingHosts' = 'chromium'
    'HKCU:\Software\Mozilla\NativeMessagingHosts'        = 'firefox'
}

if ($Uninstall) {
    foreach ($parent in $keys.Keys) {
        $key = Join-Path $parent $name
        if (-not (Test-Path -LiteralPath $key)) { continue }
        $manifest = (Get-Item -LiteralPath $key).GetValue('')
        Remove-Item -LiteralPath $key -Recurse
        Write-Output "removed $key"
        # The manifest the key pointed to, if it is one of ours (Chrome and Edge share one).
        if ($manifest -and (Split-Path -Leaf $manifest) -like "$name.*.json" -and
            (Test-Path -LiteralPath $manifest -PathType Leaf)) {
            Remove-Item -LiteralPath $manifest
            Write-Output "removed $manifest"
        }
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
$utf8 = New-Object System.Text.UTF8Encoding $false
$manifests = @{}
foreach ($kind in 'chromium', 'firefox') {
    # The host by its file name, which browsers on Windows read relative to the manifest's folder.
    $manifest = [ordered] @{
        'name'        = $name
        'description' = [string] $config.description
        'path'        = (Split-Path -Leaf $HostPath)
        'type'        = 'stdio'
    }
    if ($kind -eq 'chromium') {
        $manifest['allowed_origins'] = $origins
    } else {
        $manifest['allowed_extensions'] = $firefoxIds
    }
    $file = Join-Path $hostFolder "$name.$kind.json"
    # Without a byte-order mark, which Windows PowerShell's UTF8 encoding would write.
    [IO.File]::WriteAllText($file, ($manifest | ConvertTo-Json -Depth 3), $utf8)
    Write-Output "wrote $file"
    $manifests[$kind] = $file
}

foreach ($parent in $keys.Keys) {
    $key = Join-Path $parent $name
    if (-not (Test-Path -LiteralPath $key)) { New-Item -Path $key -Force | Out-Null }
    Set-Item -LiteralPath $key -Value $manifests[$keys[$parent]]
    Write-Output "registered $key"
}
