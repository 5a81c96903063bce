#!/usr/bin/perl
# Reads a produced database with an independent reader of the format and checks
# what the handheld relies on: identity, record count and attributes, the tags in
# order, and every record's length against the image header's counts.
# Usage: check_pdb.pl fenwaimg.pdb    (prints "ok" and exits 0, or names each fault and exits 1)
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

my $path = shift or die "usage: check_pdb.pl FILE\n";
my $pdb = Palm::PDB->new;
$pdb->Load($path);
my @faults;
sub fault { push @faults, join '', @_ }

fault("name is '$pdb->{name}'") unless $pdb->{name} eq 'fenwaimg';
fault("type is '$pdb->{type}'") unless $pdb->{type} eq 'Data';
fault("creator is '$pdb->{creator}'") unless $pdb->{creator} eq 'FNWA';
my @records = @{ $pdb->{records} };
fault("holds ", scalar(@records), " records") unless @records == 19;
for my $i (0 .. $#records) {
    my $attributes = $records[$i]{attributes};
    my @set = sort grep { $attributes->{$_} } keys %$attributes;
    fault("record $i attributes: @set") unless "@set" eq 'Dirty dirty';
}
if (@records == 19) {
    my $header = $records[0]{data};
    fault("image header is ", length($header), " bytes") unless length($header) == 130;
    fault("image magic") unless substr($header, 0, 8) eq 'IMG00.25';
    my ($s, $r, $c, $p, $q, $t, $n, $f, $v) = unpack 'n9', substr($header, 8, 18);
    my @tables = ([STAT => 4 * $s], [SORT => 2 * $s], [KSOR => 2 * $s], [ROSE => 14 * $r],
                  [STRI => 2 * $c], [STRP => $p], [RSTA => 4 * $q], [ADJL => 10 * $t], [FNOD => 4 * $f]);
    for my $k (0 .. $#tables) {
        my ($tag, $length) = @{ $tables[$k] };
        my $tag_record = $records[1 + 2 * $k]{data};
        my $table = $records[2 + 2 * $k]{data};
        fault("record ", 1 + 2 * $k, " is '$tag_record', not the tag $tag") unless $tag_record eq $tag;
        fault("$tag table is ", length($table), " bytes, the header says $length") unless length($table) == $length;
    }
    fault("node total $t is not the file nodes $n and 20") unless $t == $n + 20;
}
if (@faults) {
    print STDERR "$path: $_\n" for @faults;
    exit 1;
}
print "ok\n";
