'''BlueZ as the Auralis tests need it: the bluez5 template of python-dbusmock plus what it leaves
out, modelled on how bluetoothd 5.66 behaves.

- Agents: RegisterAgent remembers the caller. Pair asks the caller's agent to confirm the
  device (RequestConfirmation), after asking it about a bystander device first when the test
  set one; every answer is recorded (AgentVerdicts).
- Discovery: one discovery shared by every client that asked for it (StartDiscovery opens a
  session per client, StopDiscovery ends the caller's). It runs in inquiries of 10.24 s: a device
  in range answers at its own moment of each inquiry (its RSSI is set; the name too when the device
  broadcasts it); names still unknown are asked for one by one after the inquiry ends, then the next
  inquiry begins. Stopping the discovery cancels the name requests. RSSI is reported again only
  when it moved by 8 dBm or more, unless a client set an RSSI filter; it is cleared only when the
  last client stops. A device out of range that is not paired goes 30 s after it was last seen.
  Every time is scaled by SetTimeScale (tests run at a fraction of real time).
- Service records: each device has SDP records (a service-class list, a protocol and its port);
  Device1.UUIDs holds the first class of each record, and ConnectProfile connects only those.
  A stand-in for SDP and RFCOMM sockets (StartRfcommStandIn) answers a program that searches the
  records and connects a channel itself.
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
    'filters': {},       # (adapter path, bus name) -> discovery filter
    'scale': 1.0,        # real seconds per mock second
    'sessions': {},      # adapter path -> {bus name: discovery filter}
    'timers': {},        # adapter path -> pending GLib timeouts of the running discovery
    'found': {},         # adapter path -> device paths found since discovery began
    'standin': None,     # listening socket of the SDP/RFCOMM stand-in
}

INQUIRY_SECONDS = 10.24
NAME_REQUEST_SECONDS = 0.3
TEMPORARY_TIMEOUT = 30
RSSI_THRESHOLD = 8
SERIAL_PORT = '00001101-0000-1000-8000-00805f9b34fb'
SERIAL_PORT_FIRST = '00001102-0000-1000-8000-00805f9b34fd'


def later(seconds, fn):
    '''Runs fn once after seconds of mock time; returns the GLib source id.'''
    def run():
        fn()
        return False
    return GLib.timeout_add(max(1, int(seconds * state['scale'] * 1000)), run)


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


def rssi_filtered(adapter):
    return any('RSSI' in f or 'Pathloss' in f for f in state['sessions'].get(adapter.path, {}).values())


def sighted(adapter, device):
    '''The device answered the inquiry: RSSI (with BlueZ's 8 dBm threshold unless a client set an
    RSSI filter), its broadcast name, and it stays as long as it is seen.'''
    props = device.props[DEVICE_IFACE]
    old = props.get('RSSI')
    if old is None or rssi_filtered(adapter) or abs(int(old) - device.rssi) >= RSSI_THRESHOLD:
        set_rssi(device, device.rssi)
    state['found'].setdefault(adapter.path, set()).add(device.path)
    device.last_seen = GLib.get_monotonic_time()
    if device.broadcasts_name and 'Name' not in props:
        resolve_name(device)


def resolve_name(device):
    props = device.props[DEVICE_IFACE]
    props['Name'] = dbus.String(device.full_name, variant_level=1)
    props['Alias'] = dbus.String(device.full_name, variant_level=1)
    device.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                      [DEVICE_IFACE, {'Name': props['Name'], 'Alias': props['Alias']}, []])


def run_inquiry(adapter):
    timers = state['timers'].setdefault(adapter.path, [])
    timers.clear()
    for device in devices_of(adapter.path):
        if device.in_range:
            timers.append(later(device.answers_at * INQUIRY_SECONDS,
                                lambda d=device: d.in_range and sighted(adapter, d)))
    timers.append(later(INQUIRY_SECONDS, lambda: resolve_names(adapter)))


def resolve_names(adapter):
    '''After an inquiry: one name request after the other, then the next inquiry.'''
    timers = state['timers'].setdefault(adapter.path, [])
    waiting = [mockobject.objects[p] for p in sorted(state['found'].get(adapter.path, set()))
               if p in mockobject.objects and 'Name' not in mockobject.objects[p].props[DEVICE_IFACE]]
    step = 0
    for device in waiting:
        step += 1
        timers.append(later(step * NAME_REQUEST_SECONDS,
                            lambda d=device: d.path in mockobject.objects and d.in_range
                            and resolve_name(d)))
    timers.append(later((step + 1) * NAME_REQUEST_SECONDS, lambda: run_inquiry(adapter)))


def stop_inquiries(adapter):
    for timer in state['timers'].pop(adapter.path, []):
        GLib.source_remove(timer)


@dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
def StartDiscovery(adapter, sender=None):
    require_powered(adapter)
    sessions = state['sessions'].setdefault(adapter.path, {})
    if sender in sessions:
        raise error('org.bluez.Error.InProgress', 'Operation already in progress')
    sessions[sender] = state['filters'].get((adapter.path, sender), {})
    watch_client(adapter.connection, sender)
    if adapter.props[ADAPTER_IFACE]['Discovering']:
        return
    set_discovering(adapter, True)
    run_inquiry(adapter)


def end_session(adapter, sender):
    sessions = state['sessions'].get(adapter.path, {})
    sessions.pop(sender, None)
    if sessions or not adapter.props[ADAPTER_IFACE]['Discovering']:
        return
    # The last client left: the running inquiry and name requests are cancelled, and the devices
    # found lose their RSSI.
    stop_inquiries(adapter)
    set_discovering(adapter, False)
    for path in state['found'].pop(adapter.path, set()):
        if path in mockobject.objects:
            set_rssi(mockobject.objects[path], None)


@dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
def StopDiscovery(adapter, sender=None):
    if sender not in state['sessions'].get(adapter.path, {}):
        raise error('org.bluez.Error.Failed', 'No discovery started')
    end_session(adapter, sender)


@dbus.service.method(ADAPTER_IFACE, in_signature='a{sv}', out_signature='', sender_keyword='sender')
def SetDiscoveryFilter(adapter, discovery_filter, sender=None):
    state['filters'][(adapter.path, sender)] = dict(discovery_filter)
    adapter.props[ADAPTER_IFACE]['DiscoveryFilter'] = discovery_filter
    if sender in state['sessions'].get(adapter.path, {}):
        state['sessions'][adapter.path][sender] = dict(discovery_filter)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def StartOtherScanner(_self, adapter_name):
    '''Another program (a desktop Bluetooth panel) starts discovering on the adapter.'''
    StartDiscovery(mockobject.objects['/org/bluez/' + adapter_name], sender='other-scanner')


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def StopOtherScanner(_self, adapter_name):
    end_session(mockobject.objects['/org/bluez/' + adapter_name], 'other-scanner')


@dbus.service.method(MOCK_IFACE, in_signature='d', out_signature='')
def SetTimeScale(_self, scale):
    '''Real seconds per mock second: 0.05 runs a 10.24 s inquiry in 0.5 s.'''
    state['scale'] = float(scale)


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
    methods['SetDiscoveryFilter'] = ('a{sv}', '', '', SetDiscoveryFilter)
    methods['RemoveDevice'] = ('o', '', '', RemoveDevice)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='s')
def DiscoveryTransport(_self, adapter_name):
    '''The Transport of the discovery filter last set on the adapter, or "".'''
    adapter = mockobject.objects['/org/bluez/' + adapter_name]
    discovery_filter = adapter.props[ADAPTER_IFACE].get('DiscoveryFilter') or {}
    return str(discovery_filter.get('Transport', ''))


# ---- Devices ----

def parse_records(records_text):
    '''"uuid,uuid:rfcomm:4;uuid:l2cap:4097" -> [{'classes': [...], 'proto': ..., 'port': n}].'''
    records = []
    for text in filter(None, str(records_text).split(';')):
        classes, proto, port = text.rsplit(':', 2)
        records.append({'classes': [c.lower() for c in classes.split(',') if c],
                        'proto': proto, 'port': int(port)})
    return records


def offered_uuids(device):
    '''What BlueZ puts in Device1.UUIDs after browsing: the first class of every record.'''
    uuids = []
    for record in device.records:
        if record['classes'] and record['classes'][0] not in uuids:
            uuids.append(record['classes'][0])
    return uuids


def publish_uuids(device):
    props = device.props[DEVICE_IFACE]
    props['UUIDs'] = dbus.Array(offered_uuids(device), signature='s', variant_level=1)
    device.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                      [DEVICE_IFACE, {'UUIDs': props['UUIDs']}, []])


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='s')
def AddDevice(self, adapter_name, address, alias):
    '''A device that comes into range: found by the running discovery's inquiries.'''
    path = bluez5.AddDevice(self, adapter_name, address, alias)
    device = mockobject.objects[path]
    device.in_range = True
    device.pair_error = ''
    device.full_name = str(alias)
    device.broadcasts_name = True
    device.answers_at = 0.1
    device.rssi = -52
    device.last_seen = GLib.get_monotonic_time()
    device.records = parse_records(f'{SERIAL_PORT}:rfcomm:1;{SERIAL_PORT_FIRST}:rfcomm:2')
    del device.props[DEVICE_IFACE]['RSSI']
    methods = device.methods[DEVICE_IFACE]
    methods['Pair'] = ('', '', '', Pair)
    methods['ConnectProfile'] = ('s', '', '', ConnectProfile)
    methods['DisconnectProfile'] = ('s', '', '', DisconnectProfile)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def SetServiceRecords(_self, adapter_name, address, records_text):
    '''The device's SDP records: "class,class:proto:port;..." (see parse_records).'''
    device = find_device(adapter_name, address)
    device.records = parse_records(records_text)
    if device.paired:
        publish_uuids(device)


@dbus.service.method(MOCK_IFACE, in_signature='ssi', out_signature='')
def SetConnectBusy(_self, adapter_name, address, count):
    '''The next count connects of the device fail as 5.66 reports a busy RFCOMM connect.'''
    find_device(adapter_name, address).busy_answers = int(count)


@dbus.service.method(MOCK_IFACE, in_signature='ssbd', out_signature='')
def SetInquiryAnswer(_self, adapter_name, address, broadcasts_name, answers_at):
    '''Whether the device broadcasts its name in its inquiry answer (else it has only an alias made
    of its address until the name is asked for), and when in each inquiry it answers (0..1).'''
    device = find_device(adapter_name, address)
    device.broadcasts_name = bool(broadcasts_name)
    device.answers_at = float(answers_at)
    props = device.props[DEVICE_IFACE]
    if not device.broadcasts_name and not device.paired and 'Name' in props:
        del props['Name']
        props['Alias'] = dbus.String(str(props['Address']).replace(':', '-'), variant_level=1)


def forget_later(device):
    '''A temporary device goes TEMPORARY_TIMEOUT after it was last seen.'''
    def check():
        if device.path in mockobject.objects and not device.in_range and not device.paired:
            remove_device_object(device)
    later(TEMPORARY_TIMEOUT, check)


@dbus.service.method(MOCK_IFACE, in_signature='ssb', out_signature='')
def SetInRange(_self, adapter_name, address, in_range):
    '''Brings a device into range (the next inquiry finds it) or takes it out: its link drops, it
    keeps its RSSI as long as a discovery runs, and an unpaired one goes after the temporary
    timeout (at once when nobody discovers).'''
    device = find_device(adapter_name, address)
    device.in_range = bool(in_range)
    if device.in_range:
        return
    drop_link(device.path)
    if device.paired:
        return
    if adapter_of(device).props[ADAPTER_IFACE]['Discovering']:
        forget_later(device)
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


@dbus.service.method(MOCK_IFACE, in_signature='ssi', out_signature='')
def PairDevice(self, adapter_name, address, class_):
    '''Marks the device paired; BlueZ has browsed its records, so UUIDs lists what they offer.'''
    bluez5.PairDevice(self, adapter_name, address, class_)
    publish_uuids(find_device(adapter_name, address))


def watch_client(connection, sender):
    '''Forgets the agents and profiles of a client once it leaves the bus, as bluetoothd does.'''
    if sender in state['clients'] or not str(sender).startswith(':'):
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
        for adapter_path, sessions in list(state['sessions'].items()):
            if sender in sessions and adapter_path in mockobject.objects:
                end_session(mockobject.objects[adapter_path], sender)
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
        PairDevice(None, adapter_name, str(props['Address']), bluez5.MOCK_PHONE_CLASS)
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


# What bluetoothd 5.66 answers for an errno of the RFCOMM connect (btd_error_bredr_conn_from_errno):
# org.bluez.Error.Failed with one of these texts, nothing appended.
CONNECT_ERRORS = {
    errno.EHOSTDOWN: 'br-connection-page-timeout',
    errno.ECONNREFUSED: 'br-connection-refused',
    errno.EBUSY: 'br-connection-busy',
    errno.ETIMEDOUT: 'br-connection-timeout',
    errno.ECONNRESET: 'br-connection-aborted-by-remote',
}


def connect_failure(code):
    return error('org.bluez.Error.Failed', CONNECT_ERRORS.get(code, 'br-connection-unknown'))


def open_earbuds(address, uuids):
    '''A socket carrying the earbuds' byte stream, connected for the first of uuids the earbuds
    accept; raises the error ConnectProfile answers.'''
    mode, path = state['peer']
    if mode == 'none':
        raise connect_failure(errno.EHOSTDOWN)
    last = errno.ECONNREFUSED
    for uuid in uuids:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            sock.settimeout(5)
            sock.connect(path)
            if mode == 'sim':
                sock.sendall(f'CONNECT {address} {uuid}\n'.encode('ascii'))
                answer = read_line(sock)
                if answer != 'OK':
                    code = int(answer[4:]) if answer.startswith('ERR ') and answer[4:].isdigit() else 0
                    # The earbuds lost the pairing (EACCES): the link key is refused, which
                    # bluetoothd reports as a refused connection.
                    last = errno.ECONNREFUSED if code == errno.EACCES else code
                    sock.close()
                    continue
            # bluetoothd keeps its copy non-blocking; the client shares that file status.
            sock.setblocking(False)
            return sock
        except OSError:
            # Nobody listens where the earbuds should be: the channel refuses.
            sock.close()
            last = errno.ECONNREFUSED
    raise connect_failure(last)


def record_for(device, uuid):
    '''The record BlueZ made a service of for uuid: one whose first class it is.'''
    for record in device.records:
        if record['classes'] and record['classes'][0] == uuid:
            return record
    return None


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
    record = record_for(device, uuid)
    if not device.paired:
        publish_uuids(device)  # connecting browses the records first
    if owner is None or record is None:
        err(error('org.bluez.Error.NotAvailable', 'br-connection-profile-unavailable'))
        return
    link = state['links'].get(device.path)
    if link and link[2] == 'open':
        # bluetoothd: the service is connected already, so the call succeeds at once and no
        # NewConnection follows.
        ok()
        return
    if not device.in_range:
        err(connect_failure(errno.EHOSTDOWN))
        return
    if getattr(device, 'busy_answers', 0) > 0:
        device.busy_answers -= 1
        err(connect_failure(errno.EBUSY))
        return
    if state['peer'][0] == 'hang':
        return
    if record['proto'] == 'l2cap':
        # A record that names an L2CAP PSM gives an L2CAP (sequenced-packet) socket.
        sock, _other = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        device.l2cap_peer = _other
    else:
        try:
            sock = open_earbuds(str(device.props[DEVICE_IFACE]['Address']), record['classes'])
        except dbus.exceptions.DBusException as e:
            err(e)
            return

    def delivered():
        watch_link(device.path, sock)
        ok()

    def refused(_e):
        sock.close()
        err(connect_failure(errno.ECONNREFUSED))

    device.connection.call_async(owner[0], owner[1], PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                                 (dbus.ObjectPath(device.path), dbus.types.UnixFd(sock),
                                  dbus.Dictionary({}, signature='sv')),
                                 delivered, refused, timeout=CLIENT_TIMEOUT)


@dbus.service.method(DEVICE_IFACE, in_signature='s', out_signature='',
                     async_callbacks=('ok', 'err'))
def DisconnectProfile(device, uuid, ok=None, err=None):
    '''Asks the profile's owner to let go (RequestDisconnection), then closes bluetoothd's copy.'''
    owner = state['profiles'].get(str(uuid))
    link = state['links'].get(device.path)
    if owner is None or record_for(device, str(uuid)) is None:
        err(error('org.bluez.Error.NotAvailable', 'br-connection-profile-unavailable'))
        return
    if not link or link[2] != 'open':
        err(error('org.bluez.Error.NotConnected', 'Not Connected'))
        return

    def done(*_ignored):
        drop_link(device.path)
        ok()

    device.connection.call_async(owner[0], owner[1], PROFILE_IFACE, 'RequestDisconnection', 'o',
                                 (dbus.ObjectPath(device.path),), done, done,
                                 timeout=CLIENT_TIMEOUT)


# ---- The SDP and RFCOMM stand-in ----
# A program that searches a device's SDP records and connects an RFCOMM channel itself (kernel
# sockets and the SDP library, which this machine lacks) is pointed at this socket instead. One
# request per connection:
#   RECORDS <address>          -> "RECORD <proto> <port> <class,class,...>" lines, then "END"
#   RFCOMM <address> <channel> -> "OK" with the connected socket passed along (SCM_RIGHTS), or
#                                 "ERR <errno>"

def standin_answer(client, line):
    words = line.split()
    adapter = next((p for p in mockobject.objects if p.count('/') == 3 and p.startswith('/org/bluez/hci')), None)
    if len(words) < 2 or adapter is None:
        client.sendall(b'ERR 22\n')
        return
    path = adapter + '/dev_' + words[1].replace(':', '_').upper()
    device = mockobject.objects.get(path)
    if device is None or not device.in_range:
        client.sendall(f'ERR {errno.EHOSTDOWN}\n'.encode())
        return
    if words[0] == 'RECORDS':
        text = ''.join(f"RECORD {r['proto']} {r['port']} {','.join(r['classes'])}\n"
                       for r in device.records)
        client.sendall((text + 'END\n').encode())
        return
    channel = int(words[2]) if len(words) > 2 and words[2].isdigit() else -1
    record = next((r for r in device.records if r['proto'] == 'rfcomm' and r['port'] == channel),
                  None)
    if words[0] != 'RFCOMM' or record is None:
        client.sendall(f'ERR {errno.ECONNREFUSED}\n'.encode())
        return
    try:
        sock = open_earbuds(words[1], record['classes'])
    except dbus.exceptions.DBusException:
        client.sendall(f'ERR {errno.ECONNREFUSED}\n'.encode())
        return
    socket.send_fds(client, [b'OK\n'], [sock.fileno()])
    sock.close()


def standin_accept(listener, _condition):
    client, _ = listener.accept()
    try:
        client.settimeout(5)
        standin_answer(client, read_line(client))
    except OSError:
        pass
    finally:
        client.close()
    return True


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def StartRfcommStandIn(_self, path):
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(str(path))
    listener.listen(8)
    state['standin'] = listener
    GLib.io_add_watch(listener.fileno(), GLib.IO_IN, lambda _fd, c: standin_accept(listener, c))


def load(mock, parameters):
    bluez5.load(mock, parameters)
    manager = mockobject.objects['/org/bluez']
    manager.methods[AGENT_MANAGER_IFACE]['RegisterAgent'] = ('os', '', '', RegisterAgent)
    manager.methods[AGENT_MANAGER_IFACE]['UnregisterAgent'] = ('o', '', '', UnregisterAgent)
    manager.methods[PROFILE_MANAGER_IFACE]['RegisterProfile'] = ('osa{sv}', '', '',
                                                                 RegisterProfile)
    manager.methods[PROFILE_MANAGER_IFACE]['UnregisterProfile'] = ('o', '', '', UnregisterProfile)
