#!/usr/bin/env bash
# Signs copies of a small test program with certificates made here and now, for the tests of
# what a program file's signature says.
#   sign-samples.sh OUT_DIR PROGRAM
# OUT_DIR/root.der      the root the tests make the machine trust
# OUT_DIR/trusted.exe   signed by "Korvalis Test Publisher", whose chain ends in that root
# OUT_DIR/untrusted.exe signed by a publisher of the same name under a root nobody trusts
set -euo pipefail
out=$1 program=$2
work=$out/work
rm -rf "$work"
mkdir -p "$work"
cat >"$work/x509.cnf" <<'CNF'
[req]
distinguished_name = dn
[dn]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[publisher]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

# sign NAME ROOT_SUBJECT: a root and a publisher under it, and the program signed with the
# publisher's key, the root carried in the signature as installers carry their chain.
sign() {
  local name=$1 subject=$2 dir=$work/$1
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "$subject" -config "$work/x509.cnf" \
    -extensions root -keyout "$dir/root.key" -out "$dir/root.pem" 2>/dev/null
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Korvalis Test Publisher/O=Korvalis Tests" \
    -config "$work/x509.cnf" -keyout "$dir/publisher.key" -out "$dir/publisher.csr" 2>/dev/null
  openssl x509 -req -in "$dir/publisher.csr" -CA "$dir/root.pem" -CAkey "$dir/root.key" -set_serial "0x$(openssl rand -hex 8)" \
    -days 3650 -extfile "$work/x509.cnf" -extensions publisher -out "$dir/publisher.pem" 2>/dev/null
  cat "$dir/publisher.pem" "$dir/root.pem" >"$dir/chain.pem"
  rm -f "$out/$name.exe"
  osslsigncode sign -certs "$dir/chain.pem" -key "$dir/publisher.key" -h sha256 -n "Korvalis probe" \
    -in "$program" -out "$out/$name.exe" >/dev/null
}

sign trusted "/CN=Korvalis Test Root"
sign untrusted "/CN=Korvalis Untrusted Root"
openssl x509 -in "$work/trusted/root.pem" -outform der -out "$out/root.der"
rm -rf "$work"
