#!/usr/bin/perl
# The instruction table of scripts/bench --instructions, from the lines that
# zephyx_instructions printed and the callgrind dumps it asked for (written
# with --compress-strings=no --compress-pos=no).
#   instruction_table.pl [--detail] REPOSITORY ROWS DUMP...
# The library's own instructions are the self cost of lines whose source
# file (inlined headers included) lies under the repository's send/,
# receive/, common/, xtra/ or host/.
use strict;
use warnings;
use Cwd qw(abs_path);

my $detail = 0;
if (@ARGV && $ARGV[0] eq '--detail') {
  $detail = 1;
  shift @ARGV;
}
die "usage: instruction_table.pl [--detail] REPOSITORY ROWS DUMP...\n" if @ARGV < 3;
my ($repository, $rowsFile, @dumps) = @ARGV;
$repository = abs_path($repository);

# Headers are reached through links in the build's include roots; the real
# path decides.
my %libraryFile;
sub isLibrary {
  my ($file) = @_;
  return $libraryFile{$file} //= do {
    my $real = -e $file ? abs_path($file) : undef;
    defined $real && $real =~ m{^\Q$repository\E/(send|receive|common|xtra|host)/} ? 1 : 0;
  };
}
sub isQueueFile { return $_[0] =~ m{/receive/(received_queue\.cpp|received_item\.h)$} }
sub isQueueFunction { return $_[0] =~ /^zephyx::receive::(ReceivedQueue|ReceivedItem)::/ }

# A function's name without its parameters or callgrind's recursion depth.
sub shortName {
  my ($name) = @_;
  $name =~ s/'\d+$//;
  $name =~ s/(\((?:[^()]++|(?1))*\))((?: \[clone [^\]]*\])*)$/()$2/;
  return $name;
}

# Per dump, by its name ("encode typed"): the total, the library's self cost
# by function, and what the queue and the items cost.
my %dump;
for my $path (@dumps) {
  open(my $in, '<', $path) or die "$path: $!\n";
  my ($name, $total) = ('', 0);
  my ($fn, $fnFile, $file, $callee, $callLine) = ('', '', '', '', 0);
  my (%librarySelf, %selfAll, %callsAll, %allocations, $queueLines);
  $queueLines = 0;
  while (my $line = <$in>) {
    chomp $line;
    if ($line =~ /^desc: Trigger: Client Request: (.*)$/) { $name = $1; next; }
    if ($line =~ /^summary: (\d+)/) { $total = $1; next; }
    if ($line =~ /^fl=(.*)$/) { $fnFile = $file = $1; next; }
    if ($line =~ /^f[ie]=(.*)$/) { $file = $1; next; }
    if ($line =~ /^fn=(.*)$/) { $fn = $1; $file = $fnFile; next; }
    if ($line =~ /^cfn=(.*)$/) { $callee = $1; next; }
    if ($line =~ /^calls=/) { $callLine = 1; next; }
    next unless $line =~ /^(\d+)(?: (\d+))?$/;
    my $cost = $2 // 0;
    if ($callLine) {
      $callLine = 0;
      # A call's inclusive cost, at a line of the caller.
      $callsAll{$fn} += $cost unless $callee eq $fn;
      $queueLines += $cost if isQueueFile($file) && !isQueueFunction($fn);
      $allocations{$fn} += $cost if $callee =~ /^operator (new|delete)/;
      next;
    }
    $selfAll{$fn} += $cost;
    $librarySelf{shortName($fn)} += $cost if isLibrary($file);
    $queueLines += $cost if isQueueFile($file) && !isQueueFunction($fn);
  }
  close $in;
  next if $name eq '';
  my $library = 0;
  $library += $_ for values %librarySelf;
  # The queue's functions whole (lock, deque, its blocks), the item's code
  # inlined elsewhere, and the items' operator new and delete wherever the
  # repository's other code calls them.
  my $queue = $queueLines;
  for my $function (keys %{{%selfAll, %callsAll}}) {
    if (isQueueFunction($function)) {
      $queue += ($selfAll{$function} // 0) + ($callsAll{$function} // 0);
    } elsif ($function =~ /^zephyx::/) {
      $queue += $allocations{$function} // 0;
    }
  }
  $dump{$name} = {total => $total, library => $library, queue => $queue,
                  functions => \%librarySelf};
}

# The driver's lines: "row PATH PACKET key=value ...".
my @rows;
open(my $rowsIn, '<', $rowsFile) or die "$rowsFile: $!\n";
while (my $line = <$rowsIn>) {
  next unless $line =~ /^row (\S+) (\S+) (.*)$/;
  my %row = (path => $1, packet => $2);
  for my $pair (split ' ', $3) {
    my ($key, $value) = split /=/, $pair;
    $row{$key} = $value;
  }
  push @rows, \%row;
}
close $rowsIn;
my %byName = map { ("$_->{path} $_->{packet}" => $_) } @rows;

# The contract's least host calls per packet: encoding, 6 per typed
# argument and 4 per plain number (the typed message: 10 typed arguments,
# 2 plain numbers in its array); decoding, 3 per received value.
sub leastCalls {
  my ($row) = @_;
  return 3 * $row->{values} if $row->{path} eq 'decode';
  return $row->{packet} eq 'typed' ? 10 * 6 + 2 * 4 : 4 * $row->{values};
}

my @header = ('packet', 'path', 'lib Ir/pkt', 'lib Ir/value', 'lib Ir/item', 'queue Ir/item',
              'all Ir/pkt', 'oscpack Ir/pkt', 'calls/pkt', 'calls/value', 'least/pkt',
              'over least');
my @table;
for my $row (@rows) {
  my $path = $row->{path};
  next unless $path eq 'encode' || $path eq 'decode';
  my $counts = $dump{"$path $row->{packet}"} or die "no callgrind dump for $path $row->{packet}\n";
  my $reference = $dump{($path eq 'encode' ? 'oscpack-write' : 'oscpack-walk') . " $row->{packet}"}
    or die "no oscpack dump for $row->{packet}\n";
  my $n = $row->{iterations};
  my $perPacket = $counts->{library} / $n;
  my $items = $row->{items};
  my $calls = $row->{hostcalls} / $n;
  push @table, [
    $row->{packet}, $path, sprintf('%.0f', $perPacket),
    sprintf('%.1f', $perPacket / $row->{values}),
    $items > 0 ? sprintf('%.0f', $perPacket / $items) : '-',
    $items > 0 ? sprintf('%.0f', $counts->{queue} / $n / $items) : '-',
    sprintf('%.0f', $counts->{total} / $n), sprintf('%.0f', $reference->{total} / $n),
    sprintf('%.0f', $calls), sprintf('%.2f', $calls / $row->{values}), leastCalls($row),
    sprintf('%.0f', $calls - leastCalls($row)),
  ];
}

my @width = map { length } @header;
for my $cells (@table) {
  for my $i (0 .. $#$cells) {
    $width[$i] = length $cells->[$i] if length $cells->[$i] > $width[$i];
  }
}
sub line {
  my @cells = @_;
  return '| ' . join(' | ', map { sprintf($_ < 2 ? "%-$width[$_]s" : "%$width[$_]s", $cells[$_]) }
                                0 .. $#cells) . " |\n";
}
print "\n", line(@header);
print '|', join('|', map { '-' x ($_ + 2) } @width), "|\n";
print line(@$_) for @table;

print <<'NOTES';

Instructions (Ir) per packet, each path measured alone over the driver's
iterations with the null host; they do not move with a busy machine.
  lib          self cost of lines whose source (inlined headers included) lies
               under send/, receive/, common/, xtra/ or host/
  value        OSC arguments per packet, an array counted by its elements:
               typed 11 (10 arguments, the array's 2 in place of it),
               floats 100, bundle 40 (10 x an int32 and [0.5, [1, "x"]])
  item         queued items per packet: a message 1, the bundle 12 (its 10
               messages, a start and an end marker)
  queue        inclusive cost of ReceivedQueue's push and pop (lock, deque,
               its blocks), code inlined from received_item.h and the items'
               operator new and delete (malloc and free)
  all          everything between the zeroed and dumped statistics: the
               library, the null host, oscpack, libc
  oscpack      oscpack alone: writing the packet straight into its stream,
               or parsing it and reading every argument
  decode       the receiving thread's entry (validation, conversion, queue)
               and the host thread's pop and release of each item
  calls        the null host's counted calls; least: the contract's minimum
               (encode 6 per typed argument, 4 per plain number, the typed
               message's array holding 2 plain ones; decode 3 per value:
               make, append, release); over least: the rest (packet and
               container calls, addresses, markers, lookups)
NOTES

exit 0 unless $detail;
for my $row (@rows) {
  my $path = $row->{path};
  next unless $path eq 'encode' || $path eq 'decode';
  my $counts = $dump{"$path $row->{packet}"};
  my $n = $row->{iterations};
  my $functions = $counts->{functions};
  print "\n$path $row->{packet}: the library's top functions by self Ir per packet\n";
  my @top = (sort { $functions->{$b} <=> $functions->{$a} } grep { $functions->{$_} > 0 }
             keys %$functions)[0 .. 9];
  for my $function (grep { defined } @top) {
    printf "  %8.1f  %s\n", $functions->{$function} / $n, $function;
  }
  my @calls = grep { !/^(path|packet|iterations|values|items|hostcalls)$/ } sort keys %$row;
  print "  host calls per packet: ",
        join(', ', map { sprintf('%s %g', $_, $row->{$_} / $n) } @calls), "\n";
}
