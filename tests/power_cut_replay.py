"""The writes that a file-system driver made to its volume, from an strace log
(strace -f -xx -e trace=openat,write,pwrite64,lseek), in the order they ended.

  power_cut_replay.py count TRACE             how many writes there were
  power_cut_replay.py apply TRACE BEFORE K OUT  OUT: BEFORE with the first K
"""
import re
import shutil
import sys

CALL = re.compile(r'(\w+)\((.*)\)\s*=\s*(-?\d+)')
QUOTED = re.compile(r'"((?:\\x[0-9a-f]{2})*)"')


def unescape(text):
    return bytes(int(text[i + 2:i + 4], 16) for i in range(0, len(text), 4))


def volume_writes(trace):
    pending = {}
    volumes = set()
    offsets = {}
    writes = []
    with open(trace, encoding='ascii', errors='replace') as log:
        for line in log:
            pid, _, rest = line.rstrip('\n').partition(' ')
            rest = rest.strip()
            # A call that another thread's interrupted is told in two halves.
            if rest.endswith('<unfinished ...>'):
                pending[pid] = rest[:-len('<unfinished ...>')].rstrip()
                continue
            resumed = re.match(r'<\.\.\. \w+ resumed>(.*)', rest)
            if resumed:
                rest = pending.pop(pid, '') + resumed.group(1)
            call = CALL.match(rest)
            if not call:
                continue
            name, args, result = call.group(1), call.group(2), int(call.group(3))
            if result < 0:
                continue
            fd = args.split(',')[0].strip()
            if name == 'openat':
                path = unescape(QUOTED.search(args).group(1))
                if path.endswith(b'.img') or path.startswith(b'/dev/loop'):
                    volumes.add(result)
                    offsets[result] = 0
            elif not fd.isdigit() or int(fd) not in volumes:
                continue
            elif name == 'lseek':
                offsets[int(fd)] = result
            elif name == 'write':
                data = unescape(QUOTED.search(args).group(1))[:result]
                writes.append((offsets[int(fd)], data))
                offsets[int(fd)] += result
            elif name == 'pwrite64':
                data = unescape(QUOTED.search(args).group(1))[:result]
                writes.append((int(args.rsplit(',', 1)[1]), data))
    return writes


def main():
    writes = volume_writes(sys.argv[2])
    if sys.argv[1] == 'count':
        print(len(writes))
        return
    before, count, out = sys.argv[3], int(sys.argv[4]), sys.argv[5]
    shutil.copyfile(before, out)
    with open(out, 'r+b') as volume:
        for offset, data in writes[:count]:
            volume.seek(offset)
            volume.write(data)


main()
