'''BlueZ as the Auralis tests need it: the bluez5 template of python-dbusmock plus what it leaves
out, modelled on how bluetoothd 5.66 behaves.

- Agents: RegisterAgent remembers the caller. Pair asks the caller's agent to confirm the
  device (RequestConfirmation), after asking it about a bystander device first when the test
  set one; every answer is recorded (AgentVerdicts).
- Discovery: every device is in range or not. StartDiscovery gives the devices in range an RSSI,
  StopDiscovery clears it again; a device that leaves range is dropped when it is not paired.
- Profiles: RegisterProfile remembers the caller per UUID (compared verbatim, as BlueZ does).
  ConnectProfile connects a Unix socket to the earbuds and hands it to the caller's
  Profile1.NewConnection, answering only after NewConnection did, and keeps a copy of the socket
  the way bluetoothd does: the link counts as dropped once that copy sees the hang-up.
- Clients: the agents and profiles of a client that leaves the bus are forgotten.
  The earbuds are an auralis-sim neighbourhood (asked "CONNECT <address> <uuid>"; pairing and
  removing a device are passed on to it as PAIR and UNPAIR) or a plain Unix socket a test
  listens on (SetPeer).

Run: /usr/bin/python3 -m dbusmock --system --template auralis_bluez_template.py
'''

import errno
import socket

import dbus
import dbus.exceptions
import dbus.service
from gi.repository import GLib

from dbusmock import OBJECT_MANAGER_IFACE, mockobject
from dbusmock.templates import bluez5

BUS_NAME = bluez5.BUS_NAME
MAIN_OBJ = bluez5.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MOCK_IFACE = bluez5.BLUEZ_MOCK_IFACE
AGENT_MANAGER_IFACE = bluez5.AGENT_MANAGER_IFACE
PROFILE_MANAGER_IFACE = bluez5.PROFILE_MANAGER_IFACE
ADAPTER_IFACE = bluez5.ADAPTER_IFACE
DEVICE_IFACE = bluez5.DEVICE_IFACE
AGENT_IFACE = 'org.bluez.Agent1'
PROFILE_IFACE = 'org.bluez.Profile1'

# The passkey our mock shows for numeric comparison.
PASSKEY = 123456
# How long the mock waits for the client's agent and profile objects (BlueZ: 60 s for agents).
CLIENT_TIMEOUT = 60

# The stock helpers this template keeps as they are (AddTemplate exports this module's D-Bus
# methods only).
RemoveAdapter = bluez5.RemoveAdapter
PairDevice = bluez5.PairDevice
ConnectDevice = bluez5.ConnectDevice
DisconnectDevice = bluez5.DisconnectDevice

state = {
    'agents': {},        # bus name -> agent object path
    'profiles': {},      # uuid text -> (bus name, profile object path)
    'peer': ('none', ''),
    'bystander': '',     # device path the agent is asked about before the target
    'verdicts': [],      # "<device path> accepted" / "<device path> <error name>"
    'links': {},         # device path -> [socket, watch id, state]
    'clients': {},       # bus name -> its name-owner watch
}


def error(name, message):
    return dbus.exceptions.DBusException(message, name=name)


def adapter_of(device):
    return mockobject.objects[str(device.props[DEVICE_IFACE]['Adapter'])]


def devices_of(adapter_path):
    prefix = adapter_path + '/dev_'
    return [obj for path, obj in mockobject.objects.items() if path.startswith(prefix)]


def device_path(adapter_name, address):
    return '/org/bluez/' + adapter_name + '/dev_' + address.replace(':', '_').upper()


def find_device(adapter_name, address):
    path = device_path(adapter_name, address)
    if path not in mockobject.objects:
        raise error(MOCK_IFACE + '.NoSuchDevice', 'no device ' + address)
    return mockobject.objects[path]


def set_rssi(device, rssi):
    '''Sets (a number) or clears (None) the RSSI and tells the clients.'''
    props = device.props[DEVICE_IFACE]
    if rssi is None:
        if 'RSSI' not in props:
            return
        del props['RSSI']
        changed, invalidated = {}, ['RSSI']
    else:
        props['RSSI'] = dbus.Int16(rssi, variant_level=1)
        changed, invalidated = {'RSSI': props['RSSI']}, []
    device.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                      [DEVICE_IFACE, changed, invalidated])


def remove_device_object(device):
    path = device.path
    adapter_of(device).RemoveObject(path)
    mockobject.objects['/'].EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas',
                                       [dbus.ObjectPath(path), [DEVICE_IFACE]])


def require_powered(adapter, message='Resource Not Ready'):
    if not adapter.props[ADAPTER_IFACE]['Powered']:
        raise error('org.bluez.Error.NotReady', message)


# ---- Adapters and discovery ----

def set_discovering(adapter, discovering):
    adapter.props[ADAPTER_IFACE]['Discovering'] = dbus.Boolean(discovering, variant_level=1)
    adapter.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as', [
        ADAPTER_IFACE, {'Discovering': adapter.props[ADAPTER_IFACE]['Discovering']}, []])


@dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='')
def StartDiscovery(adapter):
    require_powered(adapter)
    if adapter.props[ADAPTER_IFACE]['Discovering']:
        raise error('org.bluez.Error.InProgress', 'Operation already in progress')
    set_discovering(adapter, True)
    for device in devices_of(adapter.path):
        if device.in_range:
            set_rssi(device, -52)


@dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='')
def StopDiscovery(adapter):
    if not adapter.props[ADAPTER_IFACE]['Discovering']:
        raise error('org.bluez.Error.Failed', 'No discovery started')
    set_discovering(adapter, False)
    for device in devices_of(adapter.path):
        set_rssi(device, None)


@dbus.service.method(ADAPTER_IFACE, in_signature='o', out_signature='')
def RemoveDevice(adapter, path):
    require_powered(adapter)
    if str(path) not in mockobject.objects:
        raise error('org.bluez.Error.DoesNotExist', 'Does Not Exist')
    device = mockobject.objects[str(path)]
    drop_link(str(path))
    if state['peer'][0] == 'sim':
        sim_request('UNPAIR ' + str(device.props[DEVICE_IFACE]['Address']))
    remove_device_object(device)


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='s')
def AddAdapter(self, device_name, system_name):
    '''The stock adapter, with discovery and removal as bluetoothd does them.'''
    path = bluez5.AddAdapter(self, device_name, system_name)
    adapter = mockobject.objects[path]
    methods = adapter.methods[ADAPTER_IFACE]
    methods['StartDiscovery'] = ('', '', '', StartDiscovery)
    methods['StopDiscovery'] = ('', '', '', StopDiscovery)
    methods['RemoveDevice'] = ('o', '', '', RemoveDevice)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='s')
def DiscoveryTransport(_self, adapter_name):
    '''The Transport of the discovery filter last set on the adapter, or "".'''
    adapter = mockobject.objects['/org/bluez/' + adapter_name]
    discovery_filter = adapter.props[ADAPTER_IFACE].get('DiscoveryFilter') or {}
    return str(discovery_filter.get('Transport', ''))


# ---- Devices ----

@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='s')
def AddDevice(self, adapter_name, address, alias):
    '''A device that comes into range: found by a running discovery at once, else by the next.'''
    path = bluez5.AddDevice(self, adapter_name, address, alias)
    device = mockobject.objects[path]
    device.in_range = True
    device.pair_error = ''
    if not mockobject.objects['/org/bluez/' + adapter_name].props[ADAPTER_IFACE]['Discovering']:
        del device.props[DEVICE_IFACE]['RSSI']
    methods = device.methods[DEVICE_IFACE]
    methods['Pair'] = ('', '', '', Pair)
    methods['ConnectProfile'] = ('s', '', '', ConnectProfile)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='ssb', out_signature='')
def SetInRange(_self, adapter_name, address, in_range):
    '''Brings a device into range or takes it out (an unpaired one then vanishes, as BlueZ drops
    temporary devices it no longer sees).'''
    device = find_device(adapter_name, address)
    device.in_range = bool(in_range)
    discovering = adapter_of(device).props[ADAPTER_IFACE]['Discovering']
    if device.in_range:
        if discovering:
            set_rssi(device, -52)
        return
    drop_link(device.path)
    if device.paired:
        set_rssi(device, None)
    else:
        remove_device_object(device)


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def SetName(_self, adapter_name, address, name):
    '''Sets Name ("" removes it, as before BlueZ resolved the name) and Alias stays.'''
    device = find_device(adapter_name, address)
    props = device.props[DEVICE_IFACE]
    if name:
        props['Name'] = dbus.String(name, variant_level=1)
    elif 'Name' in props:
        del props['Name']


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def SetPairError(_self, adapter_name, address, error_name):
    '''Makes the next pairings of the device fail with this BlueZ error ("" to succeed, "hang"
    never to answer).'''
    find_device(adapter_name, address).pair_error = error_name


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def SetBystander(_self, path):
    '''Before confirming a pairing, the agent is asked about this device too ("" for none).'''
    state['bystander'] = path


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def AgentVerdicts(_self):
    return state['verdicts']


def watch_client(connection, sender):
    '''Forgets the agents and profiles of a client once it leaves the bus, as bluetoothd does.'''
    if sender in state['clients']:
        return

    def owner_changed(owner):
        if owner:
            return
        manager = mockobject.objects['/org/bluez']
        agent_path = state['agents'].pop(sender, None)
        if agent_path is not None and agent_path in manager.agent_paths:
            bluez5.UnregisterAgent(manager, agent_path)
        for uuid, owner_entry in list(state['profiles'].items()):
            if owner_entry[0] == sender:
                del state['profiles'][uuid]
        state['clients'].pop(sender, None)

    state['clients'][sender] = connection.watch_name_owner(sender, owner_changed)


# ---- Agents and pairing ----

@dbus.service.method(AGENT_MANAGER_IFACE, in_signature='os', out_signature='',
                     sender_keyword='sender')
def RegisterAgent(manager, agent_path, capability, sender=None):
    bluez5.RegisterAgent(manager, agent_path, capability)
    state['agents'][sender] = str(agent_path)
    watch_client(manager.connection, sender)


@dbus.service.method(AGENT_MANAGER_IFACE, in_signature='o', out_signature='',
                     sender_keyword='sender')
def UnregisterAgent(manager, agent_path, sender=None):
    bluez5.UnregisterAgent(manager, agent_path)
    state['agents'].pop(sender, None)


def ask_agent(device, sender, agent_path, about, on_accept, on_reject):
    def accepted():
        state['verdicts'].append(about + ' accepted')
        on_accept()

    def rejected(e):
        state['verdicts'].append(about + ' ' + e.get_dbus_name())
        on_reject(e)

    device.connection.call_async(sender, agent_path, AGENT_IFACE, 'RequestConfirmation', 'ou',
                                 (dbus.ObjectPath(about), dbus.UInt32(PASSKEY)),
                                 accepted, rejected, timeout=CLIENT_TIMEOUT)


@dbus.service.method(DEVICE_IFACE, in_signature='', out_signature='', sender_keyword='sender',
                     async_callbacks=('ok', 'err'))
def Pair(device, sender=None, ok=None, err=None):
    props = device.props[DEVICE_IFACE]
    if device.paired:
        err(error('org.bluez.Error.AlreadyExists', 'Already Paired'))
        return
    if not adapter_of(device).props[ADAPTER_IFACE]['Powered']:
        err(error('org.bluez.Error.NotReady', 'Resource Not Ready'))
        return
    if not device.in_range:
        err(error('org.bluez.Error.ConnectionAttemptFailed', 'Page Timeout'))
        return
    if device.pair_error == 'hang':
        return  # never answers
    if device.pair_error:
        err(error(device.pair_error, 'Mock failure'))
        return
    agent_path = state['agents'].get(sender)
    if agent_path is None:
        err(error('org.bluez.Error.AuthenticationFailed', 'No agent available'))
        return

    def paired():
        if state['peer'][0] == 'sim':
            # The virtual earbuds keep their own pairing state.
            answer = sim_request('PAIR ' + str(props['Address']))
            if answer not in ('OK', 'ERR 259'):
                err(error('org.bluez.Error.ConnectionAttemptFailed', 'Page Timeout'))
                return
        adapter_name = str(props['Adapter']).rsplit('/', 1)[-1]
        bluez5.PairDevice(None, adapter_name, str(props['Address']), bluez5.MOCK_PHONE_CLASS)
        ok()

    def refused(_e):
        err(error('org.bluez.Error.AuthenticationRejected', 'Authentication Rejected'))

    def confirm_target(*_ignored):
        ask_agent(device, sender, agent_path, device.path, paired, refused)

    if state['bystander']:
        ask_agent(device, sender, agent_path, state['bystander'], confirm_target, confirm_target)
    else:
        confirm_target()


# ---- Profiles and links ----

@dbus.service.method(PROFILE_MANAGER_IFACE, in_signature='osa{sv}', out_signature='',
                     sender_keyword='sender')
def RegisterProfile(manager, profile_path, uuid, options, sender=None):
    uuid = str(uuid)
    owner = state['profiles'].get(uuid)
    if owner is not None:
        if owner == (sender, str(profile_path)):
            raise error('org.bluez.Error.AlreadyExists', 'Already Exists')
        raise error('org.bluez.Error.NotPermitted', 'UUID already registered')
    if uuid != uuid.lower():
        # BlueZ compares the text verbatim; the tests hold the program to lower case.
        raise error('org.bluez.Error.InvalidArguments', 'the tests expect a lower-case UUID')
    if str(options.get('Role', '')) != 'client':
        raise error('org.bluez.Error.InvalidArguments', 'the tests expect a client profile')
    state['profiles'][uuid] = (sender, str(profile_path))
    watch_client(manager.connection, sender)


@dbus.service.method(PROFILE_MANAGER_IFACE, in_signature='o', out_signature='',
                     sender_keyword='sender')
def UnregisterProfile(_manager, profile_path, sender=None):
    for uuid, owner in list(state['profiles'].items()):
        if owner == (sender, str(profile_path)):
            del state['profiles'][uuid]
            return
    raise error('org.bluez.Error.DoesNotExist', 'Does Not Exist')


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='')
def SetPeer(_self, mode, path):
    '''Where ConnectProfile finds the earbuds: "sim" (an auralis-sim socket), "raw" (a plain Unix
    socket a test listens on), "none" (every connect fails like an absent device) or "hang"
    (ConnectProfile never answers).'''
    state['peer'] = (str(mode), str(path))


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='s')
def LinkState(_self, path):
    '''"open", "dropped" (BlueZ saw the hang-up) or "none" for the device's profile link.'''
    link = state['links'].get(str(path))
    return link[2] if link else 'none'


def read_line(sock):
    line = b''
    while not line.endswith(b'\n') and len(line) < 256:
        chunk = sock.recv(1)
        if not chunk:
            break
        line += chunk
    return line.decode('ascii', 'replace').strip()


def sim_request(line):
    '''One request to the auralis-sim neighbourhood; its one-line answer ("" when unreachable).'''
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        sock.settimeout(5)
        sock.connect(state['peer'][1])
        sock.sendall((line + '\n').encode('ascii'))
        return read_line(sock)
    except OSError:
        return ''
    finally:
        sock.close()


def open_earbuds(address, uuid):
    '''A socket carrying the earbuds' byte stream; raises the error ConnectProfile answers.'''
    mode, path = state['peer']
    if mode == 'none':
        raise error('org.bluez.Error.Failed', 'br-connection-page-timeout')
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        sock.settimeout(5)
        sock.connect(path)
        if mode == 'sim':
            sock.sendall(f'CONNECT {address} {uuid}\n'.encode('ascii'))
            answer = read_line(sock)
            if answer != 'OK':
                code = int(answer[4:]) if answer.startswith('ERR ') and answer[4:].isdigit() else 0
                if code == errno.ECONNREFUSED:
                    raise error('org.bluez.Error.NotAvailable', 'br-connection-profile-unavailable')
                if code == errno.EBUSY:
                    raise error('org.bluez.Error.InProgress', 'br-connection-busy')
                if code == errno.EACCES:
                    raise error('org.bluez.Error.Failed', 'br-connection-key-missing')
                raise error('org.bluez.Error.Failed', 'br-connection-page-timeout')
        # bluetoothd keeps its copy non-blocking; the client shares that file status.
        sock.setblocking(False)
        return sock
    except OSError as e:
        sock.close()
        raise error('org.bluez.Error.Failed', 'br-connection-refused: ' + str(e)) from e
    except dbus.exceptions.DBusException:
        sock.close()
        raise


def drop_link(path):
    link = state['links'].get(path)
    if link and link[2] == 'open':
        GLib.source_remove(link[1])
        link[0].close()
        link[2] = 'dropped'


def watch_link(path, sock):
    def hung_up(_fd, _condition):
        link = state['links'].get(path)
        if link and link[0] is sock:
            link[2] = 'dropped'
            sock.close()
        return False

    watch = GLib.io_add_watch(sock.fileno(), GLib.IO_HUP | GLib.IO_ERR, hung_up)
    state['links'][path] = [sock, watch, 'open']


@dbus.service.method(DEVICE_IFACE, in_signature='s', out_signature='',
                     async_callbacks=('ok', 'err'))
def ConnectProfile(device, uuid, ok=None, err=None):
    uuid = str(uuid)
    if not adapter_of(device).props[ADAPTER_IFACE]['Powered']:
        err(error('org.bluez.Error.NotReady', 'br-connection-adapter-not-powered'))
        return
    owner = state['profiles'].get(uuid)
    if owner is None:
        err(error('org.bluez.Error.NotAvailable', 'br-connection-profile-unavailable'))
        return
    link = state['links'].get(device.path)
    if link and link[2] == 'open':
        err(error('org.bluez.Error.AlreadyConnected', 'br-connection-already-connected'))
        return
    if not device.in_range:
        err(error('org.bluez.Error.Failed', 'br-connection-page-timeout'))
        return
    if state['peer'][0] == 'hang':
        return
    try:
        sock = open_earbuds(str(device.props[DEVICE_IFACE]['Address']), uuid)
    except dbus.exceptions.DBusException as e:
        err(e)
        return

    def delivered():
        watch_link(device.path, sock)
        ok()

    def refused(e):
        sock.close()
        err(error('org.bluez.Error.Failed', 'br-connection-refused: ' + e.get_dbus_name()))

    device.connection.call_async(owner[0], owner[1], PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                                 (dbus.ObjectPath(device.path), dbus.types.UnixFd(sock),
                                  dbus.Dictionary({}, signature='sv')),
                                 delivered, refused, timeout=CLIENT_TIMEOUT)


def load(mock, parameters):
    bluez5.load(mock, parameters)
    manager = mockobject.objects['/org/bluez']
    manager.methods[AGENT_MANAGER_IFACE]['RegisterAgent'] = ('os', '', '', RegisterAgent)
    manager.methods[AGENT_MANAGER_IFACE]['UnregisterAgent'] = ('o', '', '', UnregisterAgent)
    manager.methods[PROFILE_MANAGER_IFACE]['RegisterProfile'] = ('osa{sv}', '', '',
                                                                 RegisterProfile)
    manager.methods[PROFILE_MANAGER_IFACE]['UnregisterProfile'] = ('o', '', '', UnregisterProfile)
